// The tray and window routines: the notification-area icon with its
// callback hook, and hiding and showing windows by title.
#pragma once

#include "text.h"
#include "tray_record.h"
#include "win.h"

namespace zanthel {

// The callback message the shell posts for the icon; the mouse action is in lParam.
constexpr UINT kTrayCallbackMessage = WM_RBUTTONUP;

// The top-level window whose whole title is title, or null; a title with an
// embedded NUL names no window.
HWND GetWindowHandle(const Text& title) noexcept;

// The tip in the code page, NUL-terminated and space-padded in its field. It
// keeps room for the NUL and is cut between whole characters in any code
// page, UTF-8 and double-byte ones included.
void FillTip(CHAR (&field)[kTipField], const Text& tip, UINT codePage = CP_ACP) noexcept;

HRESULT HookTrayWindow(HWND hWnd) noexcept;
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
// picture owns hIcon and is kept until the icon is deleted or replaced.
HRESULT AddTrayIcon(HWND hWnd, UINT id, HICON hIcon, IPictureDisp* picture, const Text& tip) noexcept;
HRESULT RemoveTrayIcon() noexcept;

// A host window is gone: its icon leaves the tray and the next LoadTray hooks afresh.
void ForgetTrayWindow(HWND hWnd) noexcept;

// The shell's broadcast when it starts again, and the icon that then comes
// back with the record it was added with.
UINT TaskbarCreatedMessage() noexcept;
void RestoreTrayIcon(HWND hWnd) noexcept;

HRESULT HideTargetWindow(const Text& title) noexcept;
HRESULT ShowTargetWindow(const Text& title) noexcept;

}  // namespace zanthel
