#include "menu/node_list.h"

#include "common/errors.h"
#include "menu/clsMenu.h"

#include <climits>
#include <utility>

namespace zanthel {

NodeList::NodeList() = default;
NodeList::~NodeList() = default;

HRESULT NodeList::KeepFirstSlotOnly() noexcept { return nodes_.Resize(1); }

HRESULT NodeList::Append(const Text& caption, LONG id, HMENU menu) noexcept
{
    if (count_ == LONG_MAX) return kOverflow;
    Ref<clsMenu> node = Make<clsMenu>();
    if (!node) return E_OUTOFMEMORY;
    RETURN_IF_FAILED(node->Caption.Assign(caption));
    node->Id = id;
    node->Pos = count_;
    node->hwnd = menu;
    RETURN_IF_FAILED(nodes_.Resize(static_cast<UINT>(count_) + 1));
    nodes_[static_cast<UINT>(count_)] = std::move(node);
    count_ = static_cast<LONG>(nodes_.Count());
    return S_OK;
}

void NodeList::ForgetMenus() noexcept
{
    for (UINT index = 0; index < nodes_.Count(); ++index)
        if (nodes_[index]) nodes_[index]->ForgetMenus();
}

HRESULT NodeList::At(LONG index, Ref<clsMenu>& node) const noexcept
{
    if (index < 0 || static_cast<UINT>(index) >= nodes_.Count()) return kSubscriptOutOfRange;
    node = nodes_[static_cast<UINT>(index)];
    return S_OK;
}

}  // namespace zanthel
