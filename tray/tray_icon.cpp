#include "tray/tray_icon.h"

#include "common/window_hook.h"
#include "common/window_owner.h"
#include "tray/frmTray.h"
#include "tray/tray_state.h"

namespace zanthel {
namespace {

constexpr WindowHook kTrayHook{"Zanthel.TrayHook", &TrayWindowProc};

void NotifyShell(TrayState& state, DWORD message) noexcept
{
    ::Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&state.gTrayData));
}

// After NIM_DELETE: nothing of the icon is kept.
void ForgetShownIcon(TrayState& state) noexcept
{
    state.trayIconShown = false;
    state.shownPicture.Reset();
    state.shownAtExit.Forget();
}

}  // namespace

void DeleteShownIcon(TrayState& state) noexcept
{
    if (!state.trayIconShown) return;
    NotifyShell(state, NIM_DELETE);
    ForgetShownIcon(state);
}

void FillTip(CHAR (&field)[kTipField], const Text& tip, UINT codePage) noexcept
{
    const wchar_t* units = tip.Chars();
    const UINT length = tip.Length();
    UINT taken = 0;
    int bytes = 0;
    while (taken < length && units[taken] != L'\0') {
        const UINT step = IS_HIGH_SURROGATE(units[taken]) && taken + 1 < length ? 2 : 1;
        const int width =
            ::WideCharToMultiByte(codePage, 0, units + taken, static_cast<int>(step), nullptr, 0, nullptr, nullptr);
        if (width <= 0 || bytes + width > kTipField - 1) break;
        bytes += width;
        taken += step;
    }
    ::FillMemory(field, kTipField, ' ');
    if (taken > 0) ::WideCharToMultiByte(codePage, 0, units, static_cast<int>(taken), field, bytes, nullptr, nullptr);
    field[bytes] = '\0';
}

HRESULT HookTrayWindow(HWND hWnd) noexcept
{
    TrayState* state = TrayApartment();
    if (!state) return E_OUTOFMEMORY;
    if (state->gTrayHooked) return S_OK;
    state->gHookedWindow = hWnd;
    kTrayHook.Install(hWnd);
    state->gTrayHooked = true;
    return S_OK;
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    // Once the apartment has ended nothing of ours runs, but every message still goes on.
    TrayState* state = ProcessExits() ? nullptr : ExistingApartmentState<TrayState>();
    if (!state || !state->gTrayHooked) return kTrayHook.PassOn(hwnd, msg, wParam, lParam);
    if (msg == kTrayCallbackMessage && lParam == WM_RBUTTONDOWN) {
        // Hold the window: the popup's modal loop may see it closed.
        Ref<frmTray> window = state->hostWindow;
        if (window) window->SysTrayMouseEventHandler();
        return -1;
    }
    if (msg == kTrayCallbackMessage && lParam == WM_LBUTTONDOWN) {
        // Without memory for the text, the event keeps its old value.
        state->gMenuEvent.Assign(L"LeftMouse");
        return -1;
    }
    return kTrayHook.PassOn(hwnd, msg, wParam, lParam);
}

HRESULT AddTrayIcon(HWND hWnd, UINT id, HICON hIcon, IPictureDisp* picture, const Text& tip) noexcept
{
    TrayState* state = TrayApartment();
    if (!state) return E_OUTOFMEMORY;
    // The record keeps only the last icon; delete a shown one that differs,
    // or UnLoadTray could never remove it.
    if (state->gTrayData.hWnd != hWnd || state->gTrayData.uID != id) DeleteShownIcon(*state);
    TrayRecord& record = state->gTrayData;
    record.hWnd = hWnd;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = hIcon;
    FillTip(record.szTip, tip);
    record.cbSize = sizeof(TrayRecord);
    NotifyShell(*state, NIM_ADD);
    state->trayIconShown = true;
    state->shownPicture = picture;
    state->shownAtExit.Remember(hWnd, id);
    return S_OK;
}

HRESULT RemoveTrayIcon() noexcept
{
    TrayState* state = TrayApartment();
    if (!state) return E_OUTOFMEMORY;
    NotifyShell(*state, NIM_DELETE);
    ForgetShownIcon(*state);
    return S_OK;
}

void RestoreTrayIcon(HWND hWnd) noexcept
{
    TrayState* state = ExistingApartmentState<TrayState>();
    if (state && state->trayIconShown && state->gTrayData.hWnd == hWnd) NotifyShell(*state, NIM_ADD);
}

void ForgetTrayWindow(HWND hWnd) noexcept
{
    kTrayHook.Forget(hWnd);
    TrayState* state = ExistingApartmentState<TrayState>();
    if (!state) return;
    if (state->gTrayData.hWnd == hWnd) DeleteShownIcon(*state);
    if (state->gHookedWindow == hWnd) {
        state->gTrayHooked = false;
        state->gHookedWindow = nullptr;
    }
}

}  // namespace zanthel
