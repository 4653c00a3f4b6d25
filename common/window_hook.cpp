#include "common/window_hook.h"

namespace zanthel {

void WindowHook::Install(HWND hwnd) const noexcept
{
    if (!hwnd || InstalledOn(hwnd)) return;
    const auto replaced = ::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    // Without a place to keep the replaced procedure the hook could not pass messages on.
    if (!replaced || !::SetPropA(hwnd, property_, reinterpret_cast<HANDLE>(replaced))) return;
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure_));
}

LRESULT WindowHook::PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const noexcept
{
    const WNDPROC replaced = Replaced(hwnd);
    if (!replaced) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    return ::CallWindowProcA(replaced, hwnd, msg, wParam, lParam);
}

void WindowHook::Restore(HWND hwnd) const noexcept
{
    const WNDPROC replaced = Replaced(hwnd);
    if (replaced) ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replaced));
}

}  // namespace zanthel
