#include "notify/event_ring.h"

#include "common/errors.h"

#include <new>

namespace zanthel {

HRESULT EventRing::Push(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    if (!slots_) slots_.reset(new (std::nothrow) IconEventRecord[capacity_]);
    if (!slots_) return E_OUTOFMEMORY;
    const bool full = count_ == capacity_;
    IconEventRecord& slot = slots_[full ? head_ : (head_ + count_) % capacity_];
    RETURN_IF_FAILED(slot.caption.Assign(caption));
    slot.event = event;
    slot.itemId = itemId;
    if (full) {
        head_ = (head_ + 1) % capacity_;
    } else {
        ++count_;
    }
    return S_OK;
}

void EventRing::DropFront() noexcept
{
    if (count_ == 0) return;
    slots_[head_].caption = Text();
    head_ = (head_ + 1) % capacity_;
    --count_;
}

void EventRing::Clear() noexcept
{
    while (count_ > 0) DropFront();
}

}  // namespace zanthel
