#include "tray/target_window.h"

#include "tray/tray_state.h"

namespace zanthel {
namespace {

HRESULT ChooseTarget(const Text& title, HWND& target) noexcept
{
    TrayState* state = TrayApartment();
    if (!state) return E_OUTOFMEMORY;
    state->gTargetWindow = title.Empty() ? state->gWindowHandle : GetWindowHandle(title);
    target = state->gTargetWindow;
    return S_OK;
}

// A window of another thread is shown or hidden through that thread's queue:
// waiting for a thread that does not answer, or that waits for the caller,
// would hang the host.
void SetVisibility(HWND target, int command) noexcept
{
    if (::GetWindowThreadProcessId(target, nullptr) == ::GetCurrentThreadId()) {
        ::ShowWindow(target, command);
    } else {
        ::ShowWindowAsync(target, command);
    }
}

}  // namespace

HWND GetWindowHandle(const Text& title) noexcept
{
    AnsiText ansi;
    if (title.HasNul() || FAILED(ansi.Convert(title))) return nullptr;
    return ::FindWindowA(nullptr, ansi.Chars());
}

HRESULT HideTargetWindow(const Text& title) noexcept
{
    HWND target;
    const HRESULT hr = ChooseTarget(title, target);
    if (SUCCEEDED(hr)) SetVisibility(target, SW_HIDE);
    return hr;
}

HRESULT ShowTargetWindow(const Text& title) noexcept
{
    HWND target;
    const HRESULT hr = ChooseTarget(title, target);
    if (SUCCEEDED(hr)) {
        SetVisibility(target, SW_RESTORE);
        SetVisibility(target, SW_SHOW);
    }
    return hr;
}

}  // namespace zanthel
