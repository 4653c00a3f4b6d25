#include "common/apartment.h"

#include "common/module.h"

#include <atomic>
#include <memory>
#include <new>

namespace zanthel {
namespace {

struct Parts {
    // An array goes last element first: the top layer's part before the ones it uses.
    std::unique_ptr<ApartmentPart> parts[static_cast<int>(ApartmentLayer::Count)];
    bool ending = false;
};
using UniqueParts = std::unique_ptr<Parts>;

std::atomic<DWORD> partsSlot{TLS_OUT_OF_INDEXES};

DWORD Slot() noexcept
{
    DWORD slot = partsSlot.load();
    if (slot != TLS_OUT_OF_INDEXES) return slot;
    DWORD mine = ::TlsAlloc();
    if (mine == TLS_OUT_OF_INDEXES) return mine;
    if (!partsSlot.compare_exchange_strong(slot, mine)) {
        ::TlsFree(mine);
        return slot;
    }
    return mine;
}

Parts* ThisApartment() noexcept
{
    const DWORD slot = partsSlot.load();
    return slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Parts*>(::TlsGetValue(slot));
}

// Detaches this thread's parts, so nothing finds them while they go.
UniqueParts Detach() noexcept
{
    Parts* parts = ThisApartment();
    if (parts) ::TlsSetValue(partsSlot.load(), nullptr);
    return UniqueParts(parts);
}

void Free(UniqueParts parts) noexcept
{
    parts.reset();
    module::ApartmentEnded();
}

}  // namespace

namespace detail {

ApartmentPart* FindPart(ApartmentLayer layer) noexcept
{
    Parts* parts = ThisApartment();
    return parts ? parts->parts[static_cast<int>(layer)].get() : nullptr;
}

bool AddPart(ApartmentLayer layer, std::unique_ptr<ApartmentPart> part) noexcept
{
    Parts* parts = ThisApartment();
    if (!parts) {
        const DWORD slot = Slot();
        UniqueParts created(slot == TLS_OUT_OF_INDEXES ? nullptr : new (std::nothrow) Parts);
        if (!created || !::TlsSetValue(slot, created.get())) return false;
        // The thread's slot holds them from here until Detach.
        parts = created.release();
        module::ApartmentStarted();
    }
    if (parts->ending) return false;
    parts->parts[static_cast<int>(layer)] = std::move(part);
    return true;
}

}  // namespace detail

void EndApartment() noexcept
{
    Parts* parts = ThisApartment();
    if (!parts || parts->ending) return;
    parts->ending = true;
    for (int layer = static_cast<int>(ApartmentLayer::Count) - 1; layer >= 0; --layer)
        if (parts->parts[layer]) parts->parts[layer]->End();
    Free(Detach());
}

void AbandonApartment() noexcept
{
    UniqueParts parts = Detach();
    if (!parts) return;
    parts->ending = true;
    for (int layer = static_cast<int>(ApartmentLayer::Count) - 1; layer >= 0; --layer)
        if (parts->parts[layer]) parts->parts[layer]->Abandon();
    Free(std::move(parts));
}

void ReleaseApartmentSlot() noexcept
{
    const DWORD slot = partsSlot.exchange(TLS_OUT_OF_INDEXES);
    if (slot != TLS_OUT_OF_INDEXES) ::TlsFree(slot);
}

}  // namespace zanthel
