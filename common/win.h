// One place that pulls in the Windows and OLE headers the component uses.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <oleauto.h>
#include <shellapi.h>

// The interface has members named AppendMenu and DestroyMenu; keep winuser's
// A/W macro from renaming ours. Win32 calls use the explicit ANSI names.
#undef AppendMenu
