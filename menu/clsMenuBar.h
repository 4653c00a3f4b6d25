// The menu bar of the host window: hands out command identifiers from the
// caption table, adds entries to the window's menu, and turns the window's
// WM_COMMAND messages into MenuClicked.
#pragma once

#include "../component/ref_counted.h"
#include "../component/win.h"
#include "node_list.h"

#include <string>

namespace zanthel {

class clsMenu;

// The one receiver of MenuClicked; it runs before ClickMenu returns.
class MenuClickedSubscriber {
public:
    virtual HRESULT MenuBar_MenuClicked(LONG MenuId, const std::wstring& Caption) = 0;

protected:
    ~MenuClickedSubscriber() = default;
};

class clsMenuBar final : public RefCounted {
public:
    // A new bar becomes the apartment's receiver of window commands.
    static HRESULT Construct(Ref<clsMenuBar>& bar);

    void Subscribe(MenuClickedSubscriber* subscriber) { subscriber_ = subscriber; }

    HRESULT Create(HWND hwnd);
    HRESULT Destroy(HWND hwnd);
    HRESULT AddMenu(const std::wstring& Caption);
    HRESULT SubMenu(LONG index, Ref<clsMenu>& node) const;
    HRESULT ClickMenu(LONG ClickedMenuId);

private:
    friend Ref<clsMenuBar> Make<clsMenuBar>();
    clsMenuBar() = default;
    ~clsMenuBar() override = default;

    HRESULT HookWindow(HWND hwnd);

    NodeList Menus;
    MenuClickedSubscriber* subscriber_ = nullptr;
};

// Installed in front of the bound window's procedure by Create.
LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace zanthel
