#include "apartment.h"

#include "module.h"

#include <atomic>
#include <new>

namespace zanthel {
namespace {

struct Parts {
    ApartmentPart* parts[static_cast<int>(ApartmentLayer::Count)] = {};
    bool ending = false;
};

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
Parts* Detach() noexcept
{
    Parts* parts = ThisApartment();
    if (parts) ::TlsSetValue(partsSlot.load(), nullptr);
    return parts;
}

void Free(Parts* parts) noexcept
{
    for (int layer = static_cast<int>(ApartmentLayer::Count) - 1; layer >= 0; --layer) delete parts->parts[layer];
    delete parts;
    module::ApartmentEnded();
}

}  // namespace

namespace detail {

ApartmentPart* FindPart(ApartmentLayer layer) noexcept
{
    Parts* parts = ThisApartment();
    return parts ? parts->parts[static_cast<int>(layer)] : nullptr;
}

bool AddPart(ApartmentLayer layer, ApartmentPart* part) noexcept
{
    Parts* parts = ThisApartment();
    if (!parts) {
        const DWORD slot = Slot();
        parts = slot == TLS_OUT_OF_INDEXES ? nullptr : new (std::nothrow) Parts;
        if (!parts || !::TlsSetValue(slot, parts)) {
            delete parts;
            delete part;
            return false;
        }
        module::ApartmentStarted();
    }
    if (parts->ending) {
        delete part;
        return false;
    }
    parts->parts[static_cast<int>(layer)] = part;
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
    Parts* parts = Detach();
    if (!parts) return;
    parts->ending = true;
    for (int layer = static_cast<int>(ApartmentLayer::Count) - 1; layer >= 0; --layer)
        if (parts->parts[layer]) parts->parts[layer]->Abandon();
    Free(parts);
}

void ReleaseApartmentSlot() noexcept
{
    const DWORD slot = partsSlot.exchange(TLS_OUT_OF_INDEXES);
    if (slot != TLS_OUT_OF_INDEXES) ::TlsFree(slot);
}

}  // namespace zanthel
