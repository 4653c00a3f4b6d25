' Creates Zanthel.classTray, or the class whose ProgID is the first argument,
' by its ProgID, as any late-binding host does, and says whether that worked.
' Wine's cscript exits 0 even after an uncaught error, so the outcome is a
' printed line and the exit code.
On Error Resume Next
Dim progId, created, tip
progId = "Zanthel.classTray"
If WScript.Arguments.Count > 0 Then progId = WScript.Arguments(0)
Set created = CreateObject(progId)
If progId = "Zanthel.classTray" Then
    created.ToolTipName = "side by side"
    tip = created.ToolTipName
Else
    created.ToolTip = "side by side"
    tip = created.ToolTip
End If
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
