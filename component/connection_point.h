// Outgoing events through dispinterfaces: an object's connection points, one
// per events' interface, what its container answers for them, and the raise
// that calls every advised sink.
#pragma once

#include "common/growable_array.h"
#include "common/win.h"

#include <wrl/client.h>

namespace zanthel {

struct Connection {
    DWORD cookie = 0;
    Microsoft::WRL::ComPtr<IDispatch> sink;
};

// A connection point of an object, for one events' interface. It lives
// inside the object (its container) and shares its reference count.
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

    // The container's IConnectionPointContainer, answered for its points
    // (count of them, of one container), listed in their order.
    static HRESULT EnumPoints(DispatchConnectionPoint* points, UINT count, IEnumConnectionPoints** made) noexcept;
    static HRESULT FindPoint(DispatchConnectionPoint* points, UINT count, REFIID riid,
                             IConnectionPoint** point) noexcept;

    // Calls the event on every sink of each of the points in turn, on this
    // thread: each sink advised when its point's turn starts and still
    // advised when its own comes. arguments are in DISPPARAMS order (the last
    // parameter first).
    static void Raise(DispatchConnectionPoint* points, UINT count, DISPID id, const VARIANT* arguments,
                      UINT argumentCount) noexcept;
    static constexpr UINT kMaxArguments = 2;

private:
    void RaiseHere(DISPID id, const VARIANT* arguments, UINT count) noexcept;
    DWORD NewCookie() noexcept;
    bool Advised(DWORD cookie, const IDispatch* sink) const noexcept;

    IConnectionPointContainer& container_;
    const IID& events_;
    GrowableArray<Connection> connections_;
    DWORD nextCookie_ = 1;
};

}  // namespace zanthel
