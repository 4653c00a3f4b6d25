// A growable list of menu nodes with the count that names the next index,
// as the menu bar and every node keep one for their children.
#pragma once

#include "../component/ref_counted.h"
#include "../component/win.h"

#include <string>
#include <vector>

namespace zanthel {

class clsMenu;

class NodeList {
public:
    NodeList();
    ~NodeList();

    // Bounds 0 to 0, keeping entry 0 (which a new list does not have yet).
    void KeepFirstSlotOnly();

    // Stores a new node at index count, fields set as its parent sets them.
    HRESULT Append(const std::wstring& caption, LONG id, HMENU menu);

    // The node at index, or an empty reference for a slot without one.
    HRESULT At(LONG index, Ref<clsMenu>& node) const;

    LONG Count() const { return count_; }

private:
    std::vector<Ref<clsMenu>> nodes_;
    LONG count_ = 0;
};

}  // namespace zanthel
