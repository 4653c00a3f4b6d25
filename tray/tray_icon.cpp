#include "../component/apartment.h"
#include "../component/text.h"
#include "frmTray.h"
#include "modTray.h"

#include <cstring>

namespace zanthel {
namespace {

constexpr size_t kTipField = sizeof(TrayRecord::szTip);

// The tip in ANSI, NUL-terminated and space-padded in its field. Always keeps
// room for the NUL, and never splits a double-byte character.
void FillTip(CHAR (&field)[kTipField], const std::wstring& tip)
{
    std::string ansi = ToAnsi(tip);
    size_t length = 0;
    while (length < ansi.size() && ansi[length] != '\0') {
        size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(ansi[length])) ? 2 : 1;
        if (length + step > kTipField - 1) break;
        length += step;
    }
    std::memset(field, ' ', kTipField);
    std::memcpy(field, ansi.data(), length);
    field[length] = '\0';
}

void NotifyShell(DWORD message)
{
    ApartmentState& state = Apartment();
    ::Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&state.gTrayData));
}

}  // namespace

void HookTrayWindow(HWND hWnd)
{
    ApartmentState& state = Apartment();
    if (state.gTrayHooked) return;
    state.gHookedWindow = hWnd;
    state.gPrevTrayProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProc)));
    state.gTrayHooked = VARIANT_TRUE;
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    WNDPROC previous;
    try {
        ApartmentState& state = Apartment();
        if (!state.gTrayHooked) return 0;
        previous = state.gPrevTrayProc;
        if (msg == kTrayCallbackMessage && lParam == WM_RBUTTONDOWN) {
            // Hold the window: the popup's modal loop may see it closed.
            Ref<frmTray> window = state.hostWindow;
            if (window) window->SysTrayMouseEventHandler();
            return -1;
        }
        if (msg == kTrayCallbackMessage && lParam == WM_LBUTTONDOWN) {
            state.gMenuEvent = L"LeftMouse";
            return -1;
        }
    } catch (...) {
        return -1;
    }
    return ::CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

void AddTrayIcon(HWND hWnd, UINT id, HICON hIcon, const std::wstring& tip)
{
    ApartmentState& state = Apartment();
    // The record keeps only the last icon; delete a shown one that differs,
    // or UnLoadTray could never remove it.
    if (state.trayIconShown && (state.gTrayData.hWnd != hWnd || state.gTrayData.uID != id)) RemoveTrayIcon();
    TrayRecord& record = state.gTrayData;
    record.hWnd = hWnd;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = hIcon;
    FillTip(record.szTip, tip);
    record.cbSize = sizeof(TrayRecord);
    NotifyShell(NIM_ADD);
    state.trayIconShown = true;
}

void RemoveTrayIcon()
{
    NotifyShell(NIM_DELETE);
    Apartment().trayIconShown = false;
}

void ForgetTrayWindow(HWND hWnd)
{
    ApartmentState& state = Apartment();
    if (state.trayIconShown && state.gTrayData.hWnd == hWnd) RemoveTrayIcon();
    if (state.gHookedWindow == hWnd) {
        state.gTrayHooked = VARIANT_FALSE;
        state.gHookedWindow = nullptr;
        state.gPrevTrayProc = nullptr;
    }
}

}  // namespace zanthel
