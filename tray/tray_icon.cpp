#include "../component/apartment.h"
#include "../component/text.h"
#include "frmTray.h"
#include "modTray.h"

#include <atomic>
#include <cstring>

namespace zanthel {
namespace {

constexpr size_t kTipField = sizeof(TrayRecord::szTip);

// The ANSI bytes of one character (a surrogate pair counts as one).
int AnsiBytes(const wchar_t* character, int units)
{
    return ::WideCharToMultiByte(CP_ACP, 0, character, units, nullptr, 0, nullptr, nullptr);
}

// The tip in ANSI, NUL-terminated and space-padded in its field. It keeps
// room for the NUL and is cut between whole characters in any code page,
// UTF-8 and double-byte ones included.
void FillTip(CHAR (&field)[kTipField], const std::wstring& tip)
{
    size_t units = 0;
    int bytes = 0;
    while (units < tip.size() && tip[units] != L'\0') {
        const int step = IS_HIGH_SURROGATE(tip[units]) && units + 1 < tip.size() ? 2 : 1;
        const int width = AnsiBytes(tip.data() + units, step);
        if (width <= 0 || bytes + width > static_cast<int>(kTipField) - 1) break;
        bytes += width;
        units += static_cast<size_t>(step);
    }
    std::memset(field, ' ', kTipField);
    if (units > 0)
        ::WideCharToMultiByte(CP_ACP, 0, tip.data(), static_cast<int>(units), field, bytes, nullptr, nullptr);
    field[bytes] = '\0';
}

void NotifyShell(ApartmentState& state, DWORD message)
{
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
        ApartmentState* state = ApartmentIfAny();
        if (!state || !state->gTrayHooked) return 0;
        previous = state->gPrevTrayProc;
        if (msg == kTrayCallbackMessage && lParam == WM_RBUTTONDOWN) {
            // Hold the window: the popup's modal loop may see it closed.
            Ref<frmTray> window = state->hostWindow;
            if (window) window->SysTrayMouseEventHandler();
            return -1;
        }
        if (msg == kTrayCallbackMessage && lParam == WM_LBUTTONDOWN) {
            state->gMenuEvent = L"LeftMouse";
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
    NotifyShell(state, NIM_ADD);
    state.trayIconShown = true;
}

void RemoveTrayIcon()
{
    ApartmentState& state = Apartment();
    NotifyShell(state, NIM_DELETE);
    state.trayIconShown = false;
}

UINT TaskbarCreatedMessage() noexcept
{
    // Registered once per process; the value is the same for every thread.
    static std::atomic<UINT> message{0};
    UINT value = message.load(std::memory_order_relaxed);
    if (value == 0) {
        value = ::RegisterWindowMessageA("TaskbarCreated");
        message.store(value, std::memory_order_relaxed);
    }
    return value;
}

void RestoreTrayIcon(HWND hWnd) noexcept
{
    ApartmentState* state = ApartmentIfAny();
    if (state && state->trayIconShown && state->gTrayData.hWnd == hWnd) NotifyShell(*state, NIM_ADD);
}

void ForgetTrayWindow(HWND hWnd) noexcept
{
    ApartmentState* state = ApartmentIfAny();
    if (!state) return;
    if (state->trayIconShown && state->gTrayData.hWnd == hWnd) {
        NotifyShell(*state, NIM_DELETE);
        state->trayIconShown = false;
    }
    if (state->menuHookedWindow == hWnd) state->menuHookedWindow = nullptr;
    if (state->gHookedWindow == hWnd) {
        state->gTrayHooked = VARIANT_FALSE;
        state->gHookedWindow = nullptr;
        state->gPrevTrayProc = nullptr;
    }
}

}  // namespace zanthel
