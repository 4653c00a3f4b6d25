// A first-in first-out store of the icon's events, for the queue the host
// drains and for the listener's backlog of events that wait to be delivered.
#pragma once

#include "common/text.h"
#include "common/win.h"

#include <memory>

namespace zanthel {

enum class IconEvent : LONG;

struct IconEventRecord {
    IconEvent event{};
    LONG itemId = 0;
    Text caption;
};

class EventRing {
public:
    // Holds capacity records at first and grows, doubling, up to limit; a
    // full ring at its limit lets the oldest record go for a new one.
    EventRing(UINT capacity, UINT limit) noexcept : capacity_(capacity), limit_(limit) {}
    EventRing(const EventRing&) = delete;
    EventRing& operator=(const EventRing&) = delete;

    // Keeps a copy.
    HRESULT Push(IconEvent event, LONG itemId, const Text& caption) noexcept;
    bool Empty() const noexcept { return count_ == 0; }
    // The oldest record; only when not Empty.
    IconEventRecord& Front() noexcept { return slots_[head_]; }
    void DropFront() noexcept;
    void Clear() noexcept;

private:
    bool Grow() noexcept;
    // An index one lap past the end, back into the ring: cheaper than a division.
    UINT Wrap(UINT index) const noexcept { return index >= capacity_ ? index - capacity_ : index; }

    // Taken at the first push: most icons never queue anything.
    std::unique_ptr<IconEventRecord[]> slots_;
    UINT capacity_, limit_, head_ = 0, count_ = 0;
};

}  // namespace zanthel
