// A bounded first-in first-out store of the icon's events, for the queue the
// host drains and for the listener's backlog while the menu is open.
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
    explicit EventRing(UINT capacity) noexcept : capacity_(capacity) {}
    EventRing(const EventRing&) = delete;
    EventRing& operator=(const EventRing&) = delete;

    // Keeps a copy; the oldest record goes when the ring is full.
    HRESULT Push(IconEvent event, LONG itemId, const Text& caption) noexcept;
    bool Empty() const noexcept { return count_ == 0; }
    // The oldest record; only when not Empty.
    IconEventRecord& Front() noexcept { return slots_[head_]; }
    void DropFront() noexcept;
    void Clear() noexcept;

private:
    // Taken at the first push: most icons never queue anything.
    std::unique_ptr<IconEventRecord[]> slots_;
    UINT capacity_, head_ = 0, count_ = 0;
};

}  // namespace zanthel
