#include "notify/command_index.h"

#include "common/errors.h"

#include <new>
#include <utility>

namespace zanthel {

UINT CommandIndex::Probe(UINT64 key) const noexcept
{
    // Fibonacci hashing spreads the consecutive identifiers hosts are given.
    UINT index = static_cast<UINT>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
    while (slots_[index].key != 0 && slots_[index].key != key) index = (index + 1) & mask_;
    return index;
}

UINT CommandIndex::Find(UINT64 key) const noexcept { return slots_ ? slots_[Probe(key)].command : 0; }

HRESULT CommandIndex::Rebuild() noexcept
{
    const UINT oldCapacity = slots_ ? mask_ + 1 : 0;
    UINT live = 0;
    for (UINT index = 0; index < oldCapacity; ++index) live += slots_[index].command != 0;
    UINT capacity = 16;
    while (capacity < 4 * (live + 1)) capacity *= 2;
    std::unique_ptr<Slot[]> old(new (std::nothrow) Slot[capacity]);
    if (!old) return E_OUTOFMEMORY;
    std::swap(old, slots_);
    mask_ = capacity - 1;
    used_ = live;
    for (UINT index = 0; index < oldCapacity; ++index)
        if (old[index].command != 0) slots_[Probe(old[index].key)] = old[index];
    return S_OK;
}

HRESULT CommandIndex::Set(UINT64 key, UINT command) noexcept
{
    if (!slots_ || 2 * (used_ + 1) > mask_ + 1) RETURN_IF_FAILED(Rebuild());
    Slot& slot = slots_[Probe(key)];
    used_ += slot.key == 0;
    slot = Slot{key, command};
    return S_OK;
}

// The key stays as a marker that look-ups probe past, until a rebuild.
void CommandIndex::Erase(UINT64 key) noexcept
{
    if (slots_) slots_[Probe(key)].command = 0;
}

}  // namespace zanthel
