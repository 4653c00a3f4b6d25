// The menu routines that join the component's members and the host window
// to the menu objects and to the host window's icon. The caller hands in
// the host window, obtained through the tray layer's accessor.
#pragma once

#include "common/text.h"
#include "common/win.h"
#include "menu/menu_host.h"

namespace zanthel {

// Binds the host window's menu bar to the window and adds its entry "Pop".
HRESULT CreateMenuBar(MenuHost& window) noexcept;

// Destroys the host window's whole menu, the tray popup with it.
HRESULT DestroyMenuBar(MenuHost& window) noexcept;

// The first caption renames the tray popup's built-in item; every later one
// is appended to the popup with the next command identifier.
HRESULT AppendTrayMenu(MenuHost& window, const Text& Caption) noexcept;

// Loads an icon file into the host window's icon, falling back to the
// built-in icon when the file cannot be used.
HRESULT SetTrayIconPicture(MenuHost& window, const Text& path) noexcept;

// The first caption's sentinel: no caption has been appended yet.
constexpr const wchar_t* kTopCaptionSentinel = L"Zanthel";

}  // namespace zanthel
