// One menu item the component added; once it has children it also stands
// for the popup that opens from it.
#pragma once

#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"
#include "menu/node_list.h"

namespace zanthel {

class clsMenu final : public RefCounted {
public:
    // The four public fields, set by the node's parent right after creation.
    Text Caption;
    LONG Id = 0;
    // The node's index among its siblings, used as its item's position in hwnd.
    LONG Pos = 0;
    // The menu that holds the node's item.
    HMENU hwnd = nullptr;

    // Items in the node's popup, separators included; -1 when it has none.
    LONG Count() const noexcept;

    HRESULT AddMenu(const Text& newCaption) noexcept;
    HRESULT SubMenu(LONG index, Ref<clsMenu>& node) const noexcept;
    HRESULT DestroyMenu() noexcept;

    // The node's menu and its popup are gone.
    void ForgetMenus() noexcept
    {
        hwnd = nullptr;
        SubMenus.ForgetMenus();
    }

private:
    friend Ref<clsMenu> Make<clsMenu>();
    clsMenu() = default;
    ~clsMenu() override = default;

    NodeList SubMenus;
};

}  // namespace zanthel
