' Zanthel from VBScript: an icon with a tool tip and a three-item menu, a
' polling loop that reads and clears mnuEvent, and the icon removed at the end.
'
'   cscript //nologo tray.vbs [seconds]      (default 2)
'
' Choosing "Exit" ends the loop early. The last line is a marker and the exit
' code says how it went: some cscript versions exit 0 even after an error.
Option Explicit
Dim tray, choice, seconds, started

Sub Pause(milliseconds)
    On Error Resume Next                 ' Wine's cscript has no WScript.Sleep
    WScript.Sleep milliseconds
End Sub

seconds = 2
If WScript.Arguments.Count > 0 Then seconds = CInt(WScript.Arguments(0))

Set tray = CreateObject("Zanthel.classTray")
tray.ToolTipName = "Zanthel example"     ' 63 characters at most are shown
tray.AppendMenu "Show"                   ' renames the built-in first item
tray.AppendMenu "-"                      ' a separator (command 71)
tray.AppendMenu "Exit"                   ' command 72
tray.LoadTray
WScript.Echo "Icon loaded"

started = Timer
Do While Abs(Timer - started) < seconds
    choice = tray.mnuEvent               ' reading does not clear it
    If choice <> "" Then
        tray.mnuEvent = ""               ' clear it, or the next poll sees it again
        WScript.Echo "mnuEvent: " & choice
        If choice = "Exit,72" Then Exit Do
    End If
    Pause 100
Loop

tray.UnLoadTray                          ' before letting go of the object
Set tray = Nothing
WScript.Echo "Icon removed"
WScript.Echo "ZANTHEL-EXAMPLE-END"
WScript.Quit 0
