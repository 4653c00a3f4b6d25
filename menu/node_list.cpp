#include "node_list.h"

#include "../component/errors.h"
#include "clsMenu.h"

#include <climits>

namespace zanthel {

NodeList::NodeList() = default;
NodeList::~NodeList() = default;

void NodeList::KeepFirstSlotOnly() { nodes_.resize(1); }

HRESULT NodeList::Append(const std::wstring& caption, LONG id, HMENU menu)
{
    if (count_ == LONG_MAX) return kOverflow;
    Ref<clsMenu> node = Make<clsMenu>();
    node->Caption = caption;
    node->Id = id;
    node->Pos = count_;
    node->hwnd = menu;
    nodes_.resize(static_cast<size_t>(count_) + 1);
    nodes_.back() = std::move(node);
    count_ = static_cast<LONG>(nodes_.size());
    return S_OK;
}

HRESULT NodeList::At(LONG index, Ref<clsMenu>& node) const
{
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) return kSubscriptOutOfRange;
    node = nodes_[static_cast<size_t>(index)];
    return S_OK;
}

}  // namespace zanthel
