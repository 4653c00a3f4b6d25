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
    // Adds or replaces.
    HRESULT Set(UINT64 key, UINT command) noexcept;
    void Erase(UINT64 key) noexcept;

private:
    struct Slot {
        UINT64 key = 0;    // 0: never used
        UINT command = 0;  // 0: erased
    };

    // The slot that holds key, or the empty one where it would go.
    UINT Probe(UINT64 key) const noexcept;
    // Drops the erased keys into a table with room for as many again and more.
    HRESULT Rebuild() noexcept;

    // Open addressing with linear probing, at most half of it used; the
    // capacity is a power of two and mask_ one less.
    std::unique_ptr<Slot[]> slots_;
    UINT mask_ = 0;
    UINT used_ = 0;
};

}  // namespace zanthel
