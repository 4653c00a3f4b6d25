#include "apartment.h"

#include "../menu/clsMenuBar.h"
#include "../tray/frmTray.h"

#include <atomic>
#include <new>

namespace zanthel {
namespace {

std::atomic<DWORD> stateSlot{TLS_OUT_OF_INDEXES};

DWORD Slot()
{
    DWORD slot = stateSlot.load();
    if (slot != TLS_OUT_OF_INDEXES) return slot;
    DWORD mine = ::TlsAlloc();
    if (mine == TLS_OUT_OF_INDEXES) throw std::bad_alloc();
    if (!stateSlot.compare_exchange_strong(slot, mine)) {
        ::TlsFree(mine);
        return slot;
    }
    return mine;
}

}  // namespace

ApartmentState::ApartmentState() = default;
ApartmentState::~ApartmentState() = default;

ApartmentState& Apartment()
{
    DWORD slot = Slot();
    auto* state = static_cast<ApartmentState*>(::TlsGetValue(slot));
    if (!state) {
        state = new ApartmentState;
        ::TlsSetValue(slot, state);
    }
    return *state;
}

void EndApartment() noexcept
{
    DWORD slot = stateSlot.load();
    if (slot == TLS_OUT_OF_INDEXES) return;
    auto* state = static_cast<ApartmentState*>(::TlsGetValue(slot));
    if (!state) return;
    // The window's last messages still reach this state while it goes.
    Ref<frmTray> window = std::move(state->hostWindow);
    if (window) window->Close();
    window.Reset();
    delete state;
    ::TlsSetValue(slot, nullptr);
}

}  // namespace zanthel
