#include "component/apartment_lifetime.h"

#include "common/ref_counted.h"

#include <atomic>

namespace zanthel {
namespace {

// Ends the apartment when the thread's COM count drops to zero.
class UninitializeWatch final : public IInitializeSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        if (!object) return E_POINTER;
        *object = riid == IID_IUnknown || riid == IID_IInitializeSpy ? static_cast<IInitializeSpy*>(this) : nullptr;
        if (!*object) return E_NOINTERFACE;
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

// The component's part of the apartment's state: the watch's registration.
struct LifetimeState final : ApartmentPart {
    static constexpr ApartmentLayer kLayer = ApartmentLayer::Component;

    LifetimeState() noexcept
    {
        const Ref<UninitializeWatch> watch = Make<UninitializeWatch>();
        if (!watch) return;  // thread detach still cleans up
        registered_ = SUCCEEDED(::CoRegisterInitializeSpy(watch.Get(), &cookie_));
    }
    // Revoking is a call into COM: not at thread detach, where COM lets the
    // watch go itself; by then it finds no state to end.
    void End() noexcept override
    {
        if (registered_) ::CoRevokeInitializeSpy(cookie_);
        registered_ = false;
    }

private:
    ULARGE_INTEGER cookie_{};
    bool registered_ = false;
};

}  // namespace

HRESULT WatchApartment() noexcept { return ApartmentState<LifetimeState>() ? S_OK : E_OUTOFMEMORY; }

}  // namespace zanthel
