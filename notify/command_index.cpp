#include "notify/command_index.h"

#include "common/errors.h"

#include <new>
#include <utility>

namespace zanthel {

UINT CommandIndex::Home(UINT64 key) const noexcept
{
    // Fibonacci hashing spreads the consecutive identifiers hosts are given.
    return static_cast<UINT>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
}

UINT CommandIndex::Probe(UINT64 key) const noexcept
{
    UINT index = Home(key);
    while (slots_[index].key != 0 && slots_[index].key != key) index = (index + 1) & mask_;
    return index;
}

UINT CommandIndex::Find(UINT64 key) const noexcept { return slots_ ? slots_[Probe(key)].command : 0; }

HRESULT CommandIndex::Grow() noexcept
{
    const UINT capacity = slots_ ? 2 * (mask_ + 1) : 16;
    std::unique_ptr<Slot[]> grown(new (std::nothrow) Slot[capacity]);
    if (!grown) return E_OUTOFMEMORY;
    std::unique_ptr<Slot[]> old = std::move(slots_);
    const UINT oldCapacity = old ? mask_ + 1 : 0;
    slots_ = std::move(grown);
    mask_ = capacity - 1;
    for (UINT index = 0; index < oldCapacity; ++index)
        if (old[index].key != 0) slots_[Probe(old[index].key)] = old[index];
    return S_OK;
}

HRESULT CommandIndex::Set(UINT64 key, UINT command) noexcept
{
    if (slots_) {
        Slot& slot = slots_[Probe(key)];
        if (slot.key == key) {
            slot.command = command;
            return S_OK;
        }
    }
    if (!slots_ || 2 * (count_ + 1) > mask_ + 1) RETURN_IF_FAILED(Grow());
    slots_[Probe(key)] = Slot{key, command};
    ++count_;
    return S_OK;
}

void CommandIndex::Erase(UINT64 key) noexcept
{
    if (!slots_) return;
    UINT hole = Probe(key);
    if (slots_[hole].key != key) return;
    // Moves back each later slot of the run that the hole would hide from
    // its home, so no look-up needs markers of erased keys.
    for (UINT next = (hole + 1) & mask_; slots_[next].key != 0; next = (next + 1) & mask_) {
        const UINT fromHome = (next - Home(slots_[next].key)) & mask_;
        if (fromHome >= ((next - hole) & mask_)) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = Slot();
    --count_;
}

void CommandIndex::Clear() noexcept
{
    slots_.reset();
    mask_ = 0;
    count_ = 0;
}

}  // namespace zanthel
