// Outgoing events through a dispinterface: an object's one connection point,
// what its container answers for it, and the raise that calls every advised
// sink.
#pragma once

#include "common/growable_array.h"
#include "common/win.h"

#include <wrl/client.h>

namespace zanthel {

struct Connection {
    DWORD cookie = 0;
    Microsoft::WRL::ComPtr<IDispatch> sink;
};

// The only connection point of an object, for its events. It lives inside
// the object (its container) and shares its reference count.
class DispatchConnectionPoint final : public IConnectionPoint {
public:
    DispatchConnectionPoint(IConnectionPointContainer& container, const IID& events) noexcept
        : container_(container), events_(events)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return container_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return container_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override;

    // The container's IConnectionPointContainer, answered for this point alone.
    HRESULT EnumPoints(IEnumConnectionPoints** points) noexcept;
    HRESULT FindPoint(REFIID riid, IConnectionPoint** point) noexcept;

    // Calls the event on every sink advised when it starts and still advised
    // when its turn comes, on this thread.
    // arguments are in DISPPARAMS order (the last parameter first).
    void Raise(DISPID id, const VARIANT* arguments, UINT count) noexcept;
    static constexpr UINT kMaxArguments = 2;

private:
    DWORD NewCookie() noexcept;
    bool Advised(const Connection& connection) const noexcept;

    IConnectionPointContainer& container_;
    const IID& events_;
    GrowableArray<Connection> connections_;
    DWORD nextCookie_ = 1;
};

}  // namespace zanthel
