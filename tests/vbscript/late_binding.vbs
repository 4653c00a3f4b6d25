' A real late-binding client: cscript knows Zanthel.classTray only by its
' ProgID and reaches every member through IDispatch. Wine's cscript exits 0
' even after an uncaught error, so every call runs under On Error Resume Next,
' each check is counted, and the last line is the marker run.sh looks for.
Option Explicit
On Error Resume Next

Dim failures : failures = 0

Sub Check(ok, what)
    ' An error still pending here comes from a statement that was skipped,
    ' a check among them: count it rather than lose it.
    If Err.Number <> 0 Then
        failures = failures + 1
        WScript.Echo "FAIL a statement before """ & what & """ was skipped" & ErrText()
        Err.Clear
    End If
    If ok Then
        WScript.Echo "ok   " & what
    Else
        failures = failures + 1
        WScript.Echo "FAIL " & what
    End If
End Sub

' After a call that must succeed.
Sub NoError(what)
    Dim text : text = ErrText()
    Err.Clear
    Check text = "", what & text
End Sub

' After a call that must fail with the given script error number.
Sub RaisedError(number, what)
    Dim raised, text
    raised = Err.Number : text = ErrText()
    Err.Clear
    Check raised = number, what & " raises " & number & text
End Sub

Function ErrText()
    ErrText = ""
    If Err.Number <> 0 Then ErrText = " [error " & Err.Number & ": " & Err.Description & "]"
End Function

Sub Finish()
    Check True, "the script ran to its end"
    WScript.Echo "ZANTHEL-VBS-END failures=" & failures
    If failures = 0 Then WScript.Quit 0 Else WScript.Quit 1
End Sub

Const NoSuchTitle = "No window has this title 5b1e"
Const NoSuchIcon = "C:\zanthel-missing\none.ico"
Dim tray, other, s, got

Set tray = CreateObject("Zanthel.classTray")
NoError "CreateObject(""Zanthel.classTray"")"
If Not IsObject(tray) Then Finish

' Strings as literals (passed by value) and as variables (passed by reference).
tray.WindowName = NoSuchTitle : NoError "WindowName = literal"
Check tray.WindowName = NoSuchTitle, "WindowName reads back a title no window has"
tray.ToolTipName = "Zanthel tip" : NoError "ToolTipName = literal"
Check tray.ToolTipName = "Zanthel tip", "ToolTipName reads back"
tray.ToolTipName = String(300, "t") : NoError "ToolTipName = 300 characters"
Check tray.ToolTipName = String(300, "t"), "a long ToolTipName is stored whole"
tray.mnuEvent = "Polled" : NoError "mnuEvent = literal"
Check tray.mnuEvent = "Polled" And tray.mnuEvent = "Polled", "reading mnuEvent does not clear it"
tray.mnuEvent = 7 : NoError "mnuEvent = a number"
Check tray.mnuEvent = "7", "a number is converted to text"

s = "Window by reference"
tray.WindowName = s : NoError "WindowName = variable"
Check tray.WindowName = "Window by reference", "WindowName from a variable reads back"
s = "Tip by reference"
tray.ToolTipName = s : NoError "ToolTipName = variable"
Check tray.ToolTipName = "Tip by reference", "ToolTipName from a variable reads back"
s = "Event by reference"
tray.mnuEvent = s : NoError "mnuEvent = variable"
Check tray.mnuEvent = "Event by reference", "mnuEvent from a variable reads back"
Check s = "Event by reference", "the caller's variable keeps its text"
tray.WindowName = "" : NoError "WindowName = """""
Check tray.WindowName = "", "an empty WindowName reads back empty"

tray.CreateTray "Created" : NoError "CreateTray literal"
Check tray.mnuEvent = "Created", "CreateTray sets mnuEvent"
s = "Created by reference"
tray.CreateTray s : NoError "CreateTray variable"
Check tray.mnuEvent = "Created by reference", "CreateTray with a variable sets mnuEvent"
tray.mnuEvent = "" : NoError "mnuEvent cleared"
Check tray.mnuEvent = "", "mnuEvent reads empty once cleared"

' What a late-bound caller gets wrong.
tray.NoSuchMember : RaisedError 438, "an unknown method"
got = tray.NoSuchProperty : RaisedError 438, "an unknown property"
tray.HideWindow : RaisedError 450, "HideWindow without its argument"
tray.LoadTray "extra" : RaisedError 450, "LoadTray with an argument"
tray.mnuEvent = Null : RaisedError 13, "mnuEvent = Null"

' A picture file that cannot be loaded falls back silently.
tray.TrayIcon = NoSuchIcon : NoError "TrayIcon = a missing file"
Check tray.TrayIcon = NoSuchIcon, "TrayIcon reads back the missing path"
s = NoSuchIcon
tray.TrayIcon = s : NoError "TrayIcon = variable"

' Menu members.
tray.AppendMenu "Show" : NoError "AppendMenu ""Show"""
tray.AppendMenu "-" : NoError "AppendMenu ""-"""
s = "Exit"
tray.AppendMenu s : NoError "AppendMenu variable ""Exit"""
Check s = "Exit", "AppendMenu leaves the caller's variable alone"
tray.LoadTray : NoError "LoadTray"
tray.LoadTray : NoError "LoadTray again"
tray.UnLoadTray : NoError "UnLoadTray"
tray.UnLoadTray : NoError "UnLoadTray with no icon shown"
tray.DestroyMenu : NoError "DestroyMenu"
tray.AppendMenu "After" : NoError "AppendMenu after DestroyMenu"
Check tray.mnuEvent = "", "building the menu raises no event"

' Window members: a title no window has, and "" with no window named.
tray.HideWindow NoSuchTitle : NoError "HideWindow a title no window has"
tray.ShowWindow NoSuchTitle : NoError "ShowWindow a title no window has"
s = NoSuchTitle
tray.HideWindow s : NoError "HideWindow variable"
tray.ShowWindow s : NoError "ShowWindow variable"
tray.HideWindow "" : NoError "HideWindow """""
tray.ShowWindow "" : NoError "ShowWindow """""

' Objects of one thread share the menu-event text, not their own settings.
Set other = CreateObject("Zanthel.classTray")
NoError "a second object"
tray.ToolTipName = "First"
other.mnuEvent = "From the second" : NoError "second object's mnuEvent"
Check tray.mnuEvent = "From the second", "the first object sees the second's mnuEvent"
tray.CreateTray "" : NoError "CreateTray """""
Check other.mnuEvent = "", "the second object sees the first clear it"
Check other.ToolTipName = "", "the second object has its own ToolTipName"
other.LoadTray : NoError "LoadTray on the second object"
tray.UnLoadTray : NoError "UnLoadTray on the first object"

' The shared text outlives every object of the thread.
tray.mnuEvent = "Kept"
Set tray = Nothing
Set other = Nothing
Set tray = CreateObject("Zanthel.classTray")
Check tray.mnuEvent = "Kept", "mnuEvent survives the release of all objects"
Check tray.WindowName = "", "a new object starts with an empty WindowName"
tray.mnuEvent = ""

Finish
