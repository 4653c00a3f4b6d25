// A map from nonzero keys to menu command identifiers, each look-up in
// constant time however many entries a host piles up.
#pragma once

#include "common/win.h"

#include <memory>

namespace zanthel {

class CommandIndex {
public:
    CommandIndex() = default;
    CommandIndex(const CommandIndex&) = delete;
    CommandIndex& operator=(const CommandIndex&) = delete;

    // The command key names, or 0.
    UINT Find(UINT64 key) const noexcept;
    // Adds or replaces; only adding allocates.
    HRESULT Set(UINT64 key, UINT command) noexcept;
    void Erase(UINT64 key) noexcept;
    void Clear() noexcept;

private:
    struct Slot {
        UINT64 key = 0;  // 0: empty
        UINT command = 0;
    };

    UINT Home(UINT64 key) const noexcept;
    // The slot that holds key, or the empty one where it would go.
    UINT Probe(UINT64 key) const noexcept;
    HRESULT Grow() noexcept;

    // Open addressing with linear probing, at most half full; the capacity
    // is a power of two and mask_ one less.
    std::unique_ptr<Slot[]> slots_;
    UINT mask_ = 0;
    UINT count_ = 0;
};

}  // namespace zanthel
