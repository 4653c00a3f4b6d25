#include "apartment.h"

#include "../menu/clsMenuBar.h"
#include "../tray/frmTray.h"
#include "../tray/modTray.h"
#include "module.h"

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

// Ends the apartment when the thread's COM count drops to zero.
class UninitializeWatch final : public IInitializeSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        if (!object) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IInitializeSpy) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IInitializeSpy*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT result, DWORD, DWORD) noexcept override { return result; }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD remaining) noexcept override
    {
        if (remaining == 0) EndApartment();
        return S_OK;
    }

private:
    // COM may release it from its own thread-detach code.
    std::atomic<ULONG> references_{1};
};

void Watch(ApartmentState& state)
{
    auto* watch = new (std::nothrow) UninitializeWatch;
    if (!watch) return;  // thread detach still cleans up
    if (SUCCEEDED(::CoRegisterInitializeSpy(watch, &state.watchCookie))) state.uninitializeWatch = watch;
    watch->Release();
}

ApartmentState* Detach()
{
    const DWORD slot = stateSlot.load();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    auto* state = static_cast<ApartmentState*>(::TlsGetValue(slot));
    if (state) ::TlsSetValue(slot, nullptr);
    return state;
}

void Free(ApartmentState* state)
{
    delete state;
    module::ApartmentEnded();
}

}  // namespace

ApartmentState::ApartmentState() = default;
ApartmentState::~ApartmentState() = default;

ApartmentState& Apartment()
{
    const DWORD slot = Slot();
    auto* state = static_cast<ApartmentState*>(::TlsGetValue(slot));
    if (!state) {
        state = new ApartmentState;
        ::TlsSetValue(slot, state);
        module::ApartmentStarted();
        Watch(*state);
    }
    return *state;
}

ApartmentState* ApartmentIfAny() noexcept
{
    const DWORD slot = stateSlot.load();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    return static_cast<ApartmentState*>(::TlsGetValue(slot));
}

void EndApartment() noexcept
{
    ApartmentState* state = ApartmentIfAny();
    if (!state) return;
    // The window's last messages still find the state while it goes; its
    // end deletes the icon and forgets the hooks.
    Ref<frmTray> window = std::move(state->hostWindow);
    if (window) window->Close();
    window.Reset();
    if (state->trayIconShown) RemoveTrayIcon();
    if (state->uninitializeWatch) ::CoRevokeInitializeSpy(state->watchCookie);
    Free(Detach());
}

void AbandonApartment() noexcept
{
    ApartmentState* state = Detach();
    if (!state) return;
    // Only a message to the shell's window in another process.
    if (state->trayIconShown) ::Shell_NotifyIconA(NIM_DELETE, reinterpret_cast<NOTIFYICONDATAA*>(&state->gTrayData));
    // The system destroys the thread's windows itself; from here on their
    // procedures find no state and do nothing of ours.
    if (state->hostWindow) state->hostWindow->Abandon();
    Free(state);
}

}  // namespace zanthel
