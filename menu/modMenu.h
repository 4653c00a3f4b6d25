// The menu routines that join the component's members and the host window
// to the menu objects and to the host window's icon.
#pragma once

#include "../component/win.h"

#include <string>

namespace zanthel {

// Binds the host window's menu bar to the window and adds its entry "Pop".
HRESULT CreateMenuBar();

// Destroys the host window's whole menu, the tray popup with it.
HRESULT DestroyMenuBar();

// The first caption renames the tray popup's built-in item; every later one
// is appended to the popup with the next command identifier.
HRESULT AppendTrayMenu(const std::wstring& Caption);

// Loads an icon file into the host window's icon, falling back to the
// built-in icon when the file cannot be used.
HRESULT SetTrayIconPicture(const std::wstring& path);

}  // namespace zanthel
