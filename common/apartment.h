// The component-wide state of an apartment: one part per layer, created by
// the first use that needs it and shared by every object of the apartment.
// Each layer keeps its own part; this is the one accessor for all of them.
#pragma once

#include "common/win.h"

#include <memory>
#include <new>

namespace zanthel {

// Bottom to top: a part may use the parts of the layers below its own.
enum class ApartmentLayer { Menu, Tray, Notify, Component, Count };

class ApartmentPart {
public:
    ApartmentPart() = default;
    ApartmentPart(const ApartmentPart&) = delete;
    ApartmentPart& operator=(const ApartmentPart&) = delete;
    virtual ~ApartmentPart() = default;

    // The apartment's last CoUninitialize: what the part keeps on screen or
    // in the system goes, while every part still exists.
    virtual void End() noexcept {}
    // The thread ends without having ended its apartment, under the loader
    // lock: only what is safe there (no window destroyed, nothing sent to
    // another thread of this process).
    virtual void Abandon() noexcept {}
};

namespace detail {
ApartmentPart* FindPart(ApartmentLayer layer) noexcept;
// Stores a new part; false (and the part deleted) when that is impossible,
// out of memory or while the apartment ends.
bool AddPart(ApartmentLayer layer, std::unique_ptr<ApartmentPart> part) noexcept;
}  // namespace detail

// This apartment's part of type Part (which names its kLayer), created on
// first use; null when it cannot be created.
template <typename Part>
Part* ApartmentState() noexcept
{
    if (ApartmentPart* found = detail::FindPart(Part::kLayer)) return static_cast<Part*>(found);
    std::unique_ptr<Part> created(new (std::nothrow) Part);
    Part* kept = created.get();
    if (!kept || !detail::AddPart(Part::kLayer, std::move(created))) return nullptr;
    return kept;
}

// This apartment's part, or null when it has none: for window procedures,
// which must not bring state back while the apartment ends.
template <typename Part>
Part* ExistingApartmentState() noexcept
{
    return static_cast<Part*>(detail::FindPart(Part::kLayer));
}

// Ends every part from the top layer down, then frees them in that order.
void EndApartment() noexcept;

// The same for a thread that ends without ending its apartment.
void AbandonApartment() noexcept;

// The module is being unloaded: its thread-local slot goes back to the
// process, which has only about a thousand for every module it ever loads.
void ReleaseApartmentSlot() noexcept;

}  // namespace zanthel
