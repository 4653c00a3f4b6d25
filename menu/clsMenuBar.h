// The menu bar of the host window: hands out command identifiers from the
// caption table, adds entries to the window's menu, and turns the window's
// WM_COMMAND messages into MenuClicked.
#pragma once

#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"
#include "menu/menu_host.h"
#include "menu/node_list.h"

namespace zanthel {

class clsMenu;

class clsMenuBar final : public RefCounted {
public:
    // A new bar becomes the apartment's receiver of window commands.
    static HRESULT Construct(Ref<clsMenuBar>& bar) noexcept;

    void Subscribe(MenuClickedSubscriber* subscriber) noexcept { subscriber_ = subscriber; }

    HRESULT Create(HWND hwnd) noexcept;
    HRESULT Destroy(HWND hwnd) noexcept;
    HRESULT AddMenu(const Text& Caption) noexcept;
    HRESULT SubMenu(LONG index, Ref<clsMenu>& node) const noexcept;
    HRESULT ClickMenu(LONG ClickedMenuId) noexcept;

private:
    friend Ref<clsMenuBar> Make<clsMenuBar>();
    clsMenuBar() = default;
    ~clsMenuBar() override = default;

    HRESULT HookWindow(HWND hwnd) noexcept;

    NodeList Menus;
    MenuClickedSubscriber* subscriber_ = nullptr;
};

// Installed in front of the bound window's procedure by Create.
LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// The bound window is gone: a new window may be hooked again.
void ForgetMenuWindow(HWND hwnd) noexcept;

}  // namespace zanthel
