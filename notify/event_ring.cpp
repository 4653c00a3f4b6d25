#include "notify/event_ring.h"

#include "common/errors.h"

#include <new>
#include <utility>

namespace zanthel {

bool EventRing::Grow() noexcept
{
    const UINT grown = capacity_ > limit_ / 2 ? limit_ : capacity_ * 2;
    std::unique_ptr<IconEventRecord[]> slots(new (std::nothrow) IconEventRecord[grown]);
    if (!slots) return false;
    for (UINT index = 0; index < count_; ++index) slots[index] = std::move(slots_[(head_ + index) % capacity_]);
    slots_ = std::move(slots);
    capacity_ = grown;
    head_ = 0;
    return true;
}

HRESULT EventRing::Push(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    if (!slots_) slots_.reset(new (std::nothrow) IconEventRecord[capacity_]);
    if (!slots_) return E_OUTOFMEMORY;
    // Without memory to grow, the ring keeps its size and the oldest goes.
    if (count_ == capacity_ && capacity_ < limit_) Grow();
    const bool full = count_ == capacity_;
    IconEventRecord& slot = slots_[full ? head_ : Wrap(head_ + count_)];
    // Most events have no caption, and most slots held none: nothing to copy or free.
    if (caption.Get() || slot.caption.Get()) RETURN_IF_FAILED(slot.caption.Assign(caption));
    slot.event = event;
    slot.itemId = itemId;
    if (full) {
        head_ = Wrap(head_ + 1);
    } else {
        ++count_;
    }
    return S_OK;
}

void EventRing::DropFront() noexcept
{
    if (count_ == 0) return;
    slots_[head_].caption = Text();
    head_ = Wrap(head_ + 1);
    --count_;
}

void EventRing::Clear() noexcept
{
    while (count_ > 0) DropFront();
}

}  // namespace zanthel
