// The host window's notification-area icon, in the shell's first protocol,
// and the hook that turns the icon's callbacks into the component's events.
#pragma once

#include "common/text.h"
#include "common/win.h"
#include "tray/tray_record.h"

namespace zanthel {

struct TrayState;

// The callback message the shell posts for the icon; the mouse action is in lParam.
constexpr UINT kTrayCallbackMessage = WM_RBUTTONUP;

// The tip in the code page, NUL-terminated and space-padded in its field. It
// keeps room for the NUL and is cut between whole characters in any code
// page, UTF-8 and double-byte ones included.
void FillTip(CHAR (&field)[kTipField], const Text& tip, UINT codePage = CP_ACP) noexcept;

HRESULT HookTrayWindow(HWND hWnd) noexcept;
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
// picture owns hIcon and is kept until the icon is deleted or replaced.
HRESULT AddTrayIcon(HWND hWnd, UINT id, HICON hIcon, IPictureDisp* picture, const Text& tip) noexcept;
HRESULT RemoveTrayIcon() noexcept;
// Deletes the icon the state's record describes, if it is shown.
void DeleteShownIcon(TrayState& state) noexcept;

// A host window is gone: its icon leaves the tray and the next LoadTray hooks afresh.
void ForgetTrayWindow(HWND hWnd) noexcept;

// After the shell's restart (IsTaskbarCreated) the icon comes back with the
// record it was added with.
void RestoreTrayIcon(HWND hWnd) noexcept;

}  // namespace zanthel
