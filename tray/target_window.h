// Hiding and showing windows by title: the window the host named, or any
// other top-level window.
#pragma once

#include "common/text.h"
#include "common/win.h"

namespace zanthel {

// The top-level window whose whole title is title, or null; a title with an
// embedded NUL names no window.
HWND GetWindowHandle(const Text& title) noexcept;

HRESULT HideTargetWindow(const Text& title) noexcept;
HRESULT ShowTargetWindow(const Text& title) noexcept;

}  // namespace zanthel
