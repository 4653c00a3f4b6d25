// What every hidden window that owns a notification-area icon needs, for
// both classes: its window class, and the popup menu the icon opens.
#pragma once

#include "common/win.h"

namespace zanthel {

// Registers the module's window class name once per process (apartments on
// other threads may have registered it already). unicode chooses the form of
// the messages the procedure gets.
HRESULT RegisterHostWindowClass(const char* name, WNDPROC procedure, bool unicode) noexcept;

// Shows menu as the icon's popup at at (the thread's logical pixels), beside
// or above exclude when given, and returns what TrackPopupMenuEx returns.
UINT TrackIconPopup(HWND owner, HMENU menu, UINT flags, POINT at, const RECT* exclude = nullptr) noexcept;

}  // namespace zanthel
