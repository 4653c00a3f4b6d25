#include "node_list.h"

#include "errors.h"
#include "clsMenu.h"

#include <climits>

namespace zanthel {

NodeList::~NodeList() { Resize(0); }

HRESULT NodeList::Resize(ULONG slots) noexcept
{
    for (ULONG index = slots; index < slots_; ++index)
        if (nodes_[index]) nodes_[index]->Release();
    if (slots == 0) {
        ::CoTaskMemFree(nodes_);
        nodes_ = nullptr;
        slots_ = 0;
        return S_OK;
    }
    if (slots > ULONG_MAX / sizeof(clsMenu*)) return E_OUTOFMEMORY;
    auto* resized = static_cast<clsMenu**>(::CoTaskMemRealloc(nodes_, slots * sizeof(clsMenu*)));
    if (!resized) {
        slots_ = slots < slots_ ? slots : slots_;
        return E_OUTOFMEMORY;
    }
    for (ULONG index = slots_; index < slots; ++index) resized[index] = nullptr;
    nodes_ = resized;
    slots_ = slots;
    return S_OK;
}

HRESULT NodeList::Append(const Text& caption, LONG id, HMENU menu) noexcept
{
    if (count_ == LONG_MAX) return kOverflow;
    Ref<clsMenu> node = Make<clsMenu>();
    if (!node) return E_OUTOFMEMORY;
    RETURN_IF_FAILED(node->Caption.Assign(caption));
    node->Id = id;
    node->Pos = count_;
    node->hwnd = menu;
    RETURN_IF_FAILED(Resize(static_cast<ULONG>(count_) + 1));
    clsMenu*& slot = nodes_[count_];
    if (slot) slot->Release();
    slot = node.Detach();
    count_ = static_cast<LONG>(slots_);
    return S_OK;
}

void NodeList::ForgetMenus() noexcept
{
    for (ULONG index = 0; index < slots_; ++index)
        if (nodes_[index]) nodes_[index]->ForgetMenus();
}

HRESULT NodeList::At(LONG index, Ref<clsMenu>& node) const noexcept
{
    if (index < 0 || static_cast<ULONG>(index) >= slots_) return kSubscriptOutOfRange;
    node = nodes_[index];
    return S_OK;
}

}  // namespace zanthel
