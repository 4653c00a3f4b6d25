' Zanthel.NotifyIcon driven late-bound, as a script host that cannot take
' events drives it: every member through IDispatch, the events by polling
' NextEvent. The first argument is a usable .ico file. Wine's cscript exits 0
' even after an uncaught error, so every call runs under On Error Resume Next,
' each check is counted, and the last line is the marker run.sh looks for.
Option Explicit
On Error Resume Next

Dim failures : failures = 0

Sub Check(ok, what)
    ' An error still pending here comes from a statement that was skipped.
    If Err.Number <> 0 Then
        failures = failures + 1
        WScript.Echo "FAIL a statement before """ & what & """ failed [error " & Err.Number & ": " & Err.Description & "]"
        Err.Clear
    End If
    If ok Then
        WScript.Echo "ok   " & what
    Else
        failures = failures + 1
        WScript.Echo "FAIL " & what
    End If
End Sub

' After a call that must fail: the script sees a number and a description.
Sub Refused(what)
    Dim number, description
    number = Err.Number : description = Err.Description
    Err.Clear
    Check number <> 0 And description <> "", what & " is refused [error " & number & ": " & description & "]"
End Sub

Sub Finish()
    Check True, "the script ran to its end"
    WScript.Echo "ZANTHEL-VBS-END failures=" & failures
    If failures = 0 Then WScript.Quit 0 Else WScript.Quit 1
End Sub

Dim icon, iconFile
iconFile = WScript.Arguments(0)
Set icon = CreateObject("Zanthel.NotifyIcon")
Check IsObject(icon), "CreateObject(""Zanthel.NotifyIcon"")"
If Not IsObject(icon) Then Finish
Check icon.NextEvent = "", "NextEvent is empty with nothing queued"

icon.ToolTip = "Zanthel notify"
Check icon.ToolTip = "Zanthel notify", "ToolTip reads back"
icon.Icon = iconFile
Check icon.Icon = iconFile, "Icon reads back a usable file"
icon.Icon = WScript.ScriptFullName : Refused "Icon = a file that is no icon"
Check icon.Icon = iconFile, "and the icon stays as it was"
icon.LeftClickMenu = True
Check icon.LeftClickMenu, "LeftClickMenu reads back True"
icon.LeftClickMenu = False
Check Not icon.LeftClickMenu, "LeftClickMenu reads back False"

Check icon.AddMenuItem("Open") = 1, "the first item is 1"
icon.AddSeparator
Check icon.AddMenuItem("Pause") = 2 And icon.AddMenuItem("Exit") = 3, "the next items are 2 and 3"
icon.SetMenuItemChecked 2, True
icon.SetMenuItemEnabled 1, False
Check True, "SetMenuItemChecked and SetMenuItemEnabled"
icon.SetMenuItemChecked 99, True : Refused "SetMenuItemChecked of an unknown item"
icon.ClearMenu
Check icon.AddMenuItem("Again") = 4, "after ClearMenu the next item is 4"

' Version 1.1's menu members.
Dim more, inside
more = icon.AddSubMenu(0, "More")
inside = icon.AddMenuItemTo(more, "Inside")
Check more = 5 And inside = 6, "AddSubMenu and AddMenuItemTo take the next items, 5 and 6"
icon.AddSeparatorTo more
icon.SetMenuItemCaption inside, "Renamed"
icon.SetMenuItemRadio inside, 1
icon.DefaultMenuItem = inside
Check icon.DefaultMenuItem = inside, "AddSeparatorTo, SetMenuItemCaption, SetMenuItemRadio; DefaultMenuItem reads back"
icon.SetMenuItemCaption inside, "" : Refused "SetMenuItemCaption to an empty caption"
icon.RemoveMenuItem more
icon.SetMenuItemCaption inside, "Gone" : Refused "SetMenuItemCaption of an item removed with its submenu"

icon.ShowBalloon "Hidden", "No balloon" : Refused "ShowBalloon while hidden"
icon.Visible = True
Check icon.Visible, "Visible reads back True"
icon.ShowBalloon "Zanthel", "Default kind"
icon.ShowBalloon "Zanthel", "Warning", 2
Check True, "ShowBalloon with and without its kind"
icon.ShowBalloon "Zanthel", "Kind 7", 7 : Refused "ShowBalloon of kind 7"
icon.ShowNotification "Zanthel", "Defaults"
icon.ShowNotification "Zanthel", "Picture", 4, iconFile, 1
Check True, "ShowNotification with its defaults and with a picture"
icon.ShowNotification "Zanthel", "Picture", 1, iconFile : Refused "ShowNotification naming a picture for kind 1"

icon.Visible = False
Check Not icon.Visible, "Visible reads back False"
Finish
