' Creates Zanthel.classTray by its ProgID, as any late-binding host does, and
' says whether that worked. Wine's cscript exits 0 even after an uncaught
' error, so the outcome is a printed line and the exit code.
On Error Resume Next
Dim tray, tip
Set tray = CreateObject("Zanthel.classTray")
tray.ToolTipName = "side by side"
tip = tray.ToolTipName
If Err.Number <> 0 Then
    WScript.Echo "ZANTHEL-NOT-CREATED error " & Err.Number
    WScript.Quit 1
End If
If tip <> "side by side" Then
    WScript.Echo "ZANTHEL-NOT-CREATED the tool tip reads back as " & tip
    WScript.Quit 1
End If
WScript.Echo "ZANTHEL-CREATED"
WScript.Quit 0
