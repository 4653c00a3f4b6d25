// A growable list of menu nodes with the count that names the next index,
// as the menu bar and every node keep one for their children.
#pragma once

#include "common/growable_array.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

class clsMenu;

class NodeList {
public:
    NodeList();
    NodeList(const NodeList&) = delete;
    NodeList& operator=(const NodeList&) = delete;
    ~NodeList();

    // Bounds 0 to 0, keeping entry 0 (which a new list does not have yet).
    HRESULT KeepFirstSlotOnly() noexcept;

    // Stores a new node at index count, fields set as its parent sets them.
    HRESULT Append(const Text& caption, LONG id, HMENU menu) noexcept;

    // The node at index, or an empty reference for a slot without one.
    HRESULT At(LONG index, Ref<clsMenu>& node) const noexcept;

    // The menus of every node below were destroyed: none keeps a handle.
    void ForgetMenus() noexcept;

private:
    GrowableArray<Ref<clsMenu>> nodes_;
    LONG count_ = 0;
};

}  // namespace zanthel
