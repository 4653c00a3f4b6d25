// One menu item the component added; once it has children it also stands
// for the popup that opens from it.
#pragma once

#include "../component/ref_counted.h"
#include "../component/win.h"
#include "node_list.h"

#include <string>

namespace zanthel {

class clsMenu final : public RefCounted {
public:
    // The four public fields, set by the node's parent right after creation.
    std::wstring Caption;
    LONG Id = 0;
    // The node's index among its siblings, used as its item's position in hwnd.
    LONG Pos = 0;
    // The menu that holds the node's item.
    HMENU hwnd = nullptr;

    // Items in the node's popup, separators included; -1 when it has none.
    LONG Count() const;

    HRESULT AddMenu(const std::wstring& newCaption);
    HRESULT SubMenu(LONG index, Ref<clsMenu>& node) const;
    HRESULT DestroyMenu();

private:
    friend Ref<clsMenu> Make<clsMenu>();
    clsMenu() = default;
    ~clsMenu() override = default;

    NodeList SubMenus;
};

}  // namespace zanthel
