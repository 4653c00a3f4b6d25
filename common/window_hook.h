// A window procedure installed in front of a window's own. The procedure it
// replaced is kept with the window, not with the apartment's state, so the
// hook can pass every message on even after that state is gone.
#pragma once

#include "common/win.h"

namespace zanthel {

class WindowHook {
public:
    // property names the window property that keeps the replaced procedure.
    constexpr WindowHook(const char* property, WNDPROC procedure) : property_(property), procedure_(procedure) {}

    // Installs the hook once per window; a second call keeps the first, which
    // would otherwise be saved as its own predecessor and recurse forever.
    void Install(HWND hwnd) const noexcept;
    bool InstalledOn(HWND hwnd) const noexcept { return ::GetPropA(hwnd, property_) != nullptr; }

    // Hands a message to the procedure the hook replaced.
    LRESULT PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const noexcept;

    // Puts the replaced procedure back, taking out whatever was installed since.
    void Restore(HWND hwnd) const noexcept;
    // The window is ending: only its property goes.
    void Forget(HWND hwnd) const noexcept { ::RemovePropA(hwnd, property_); }

private:
    WNDPROC Replaced(HWND hwnd) const noexcept { return reinterpret_cast<WNDPROC>(::GetPropA(hwnd, property_)); }

    const char* property_;
    WNDPROC procedure_;
};

}  // namespace zanthel
