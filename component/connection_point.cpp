#include "connection_point.h"

#include "com_object.h"
#include "ref_counted.h"

namespace zanthel {
namespace {

using Microsoft::WRL::ComPtr;

// What an enumerator hands out, with a reference the caller releases.
void HandOut(const Connection& connection, CONNECTDATA& out) noexcept
{
    out.pUnk = connection.sink.Get();
    out.pUnk->AddRef();
    out.dwCookie = connection.cookie;
}

void HandOut(const ComPtr<IConnectionPoint>& point, IConnectionPoint*& out) noexcept
{
    out = point.Get();
    out->AddRef();
}

// The entries as they were when the enumerator was made; clones share them.
template <typename Entry>
struct Snapshot final : RefCounted {
    GrowableArray<Entry> entries;
};

template <typename Interface, const IID& Iid, typename Item, typename Entry>
class SnapshotEnumerator final
    : public ComObject<SnapshotEnumerator<Interface, Iid, Item, Entry>, Answers<Iid, Interface>>,
      public Interface {
public:
    SnapshotEnumerator(const Ref<Snapshot<Entry>>& snapshot, UINT position) noexcept
        : snapshot_(snapshot), position_(position)
    {
    }

    // A new enumerator over entries, for the caller.
    static HRESULT Make(const GrowableArray<Entry>& entries, Interface** made) noexcept
    {
        if (!made) return E_POINTER;
        *made = nullptr;
        Ref<Snapshot<Entry>> snapshot = zanthel::Make<Snapshot<Entry>>();
        if (!snapshot) return E_OUTOFMEMORY;
        RETURN_IF_FAILED(snapshot->entries.CopyFrom(entries));
        *made = new (std::nothrow) SnapshotEnumerator(snapshot, 0);
        return *made ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        return this->QueryListedInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return this->AddReference(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return this->ReleaseReference(); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) noexcept override
    {
        if (fetched) *fetched = 0;
        if (!items) return E_POINTER;
        if (count != 1 && !fetched) return E_INVALIDARG;
        const GrowableArray<Entry>& entries = snapshot_->entries;
        ULONG done = 0;
        for (; done < count && position_ < entries.Count(); ++done) HandOut(entries[position_++], items[done]);
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override
    {
        const UINT left = snapshot_->entries.Count() - position_;
        if (count > left) {
            position_ += left;
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() noexcept override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** clone) noexcept override
    {
        if (!clone) return E_POINTER;
        *clone = new (std::nothrow) SnapshotEnumerator(snapshot_, position_);
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    friend class ComObject<SnapshotEnumerator, Answers<Iid, Interface>>;
    ~SnapshotEnumerator() override = default;

    Ref<Snapshot<Entry>> snapshot_;
    UINT position_;
};

using ConnectionEnumerator = SnapshotEnumerator<IEnumConnections, IID_IEnumConnections, CONNECTDATA, Connection>;
using PointEnumerator =
    SnapshotEnumerator<IEnumConnectionPoints, IID_IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>>;

}  // namespace

HRESULT DispatchConnectionPoint::QueryInterface(REFIID riid, void** object) noexcept
{
    if (!object) return E_POINTER;
    *object = riid == IID_IUnknown || riid == IID_IConnectionPoint ? static_cast<IConnectionPoint*>(this) : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT DispatchConnectionPoint::GetConnectionInterface(IID* iid) noexcept
{
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT DispatchConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept
{
    if (!container) return E_POINTER;
    *container = &container_;
    container_.AddRef();
    return S_OK;
}

DWORD DispatchConnectionPoint::NewCookie() noexcept
{
    for (;;) {
        const DWORD cookie = nextCookie_++;
        if (nextCookie_ == 0) nextCookie_ = 1;
        bool used = false;
        for (UINT index = 0; index < connections_.Count() && !used; ++index)
            used = connections_[index].cookie == cookie;
        if (!used) return cookie;
    }
}

HRESULT DispatchConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept
{
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    Connection connection;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(connection.sink.GetAddressOf()))) ||
        !connection.sink)
        return CONNECT_E_CANNOTCONNECT;
    connection.cookie = NewCookie();
    RETURN_IF_FAILED(connections_.Append(connection));
    *cookie = connection.cookie;
    return S_OK;
}

HRESULT DispatchConnectionPoint::Unadvise(DWORD cookie) noexcept
{
    for (UINT index = 0; index < connections_.Count(); ++index) {
        if (connections_[index].cookie != cookie) continue;
        Connection leaving;
        connections_.RemoveAt(index, leaving);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT DispatchConnectionPoint::EnumConnections(IEnumConnections** connections) noexcept
{
    return ConnectionEnumerator::Make(connections_, connections);
}

void DispatchConnectionPoint::Raise(DISPID id, const VARIANT* arguments, UINT count) noexcept
{
    // A handler may advise, unadvise or release the object's last reference:
    // the object and every sink advised now live until the raise is over.
    ComPtr<IConnectionPointContainer> object(&container_);
    GrowableArray<Connection> sinks;
    if (count > kMaxArguments || FAILED(sinks.CopyFrom(connections_))) return;
    for (UINT index = 0; index < sinks.Count(); ++index) {
        // Each sink gets its own copies: one that clears its arguments
        // harms no other.
        VARIANT copies[kMaxArguments];
        UINT copied = 0;
        HRESULT hr = S_OK;
        for (; copied < count && SUCCEEDED(hr); ++copied) {
            ::VariantInit(&copies[copied]);
            hr = ::VariantCopy(&copies[copied], const_cast<VARIANT*>(&arguments[copied]));
        }
        if (SUCCEEDED(hr)) {
            DISPPARAMS params{copies, nullptr, count, 0};
            VARIANT result;
            ::VariantInit(&result);
            EXCEPINFO exception{};
            UINT argumentError = 0;
            sinks[index].sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                                      &argumentError);
            ::VariantClear(&result);
            ::SysFreeString(exception.bstrSource);
            ::SysFreeString(exception.bstrDescription);
            ::SysFreeString(exception.bstrHelpFile);
        }
        while (copied > 0) ::VariantClear(&copies[--copied]);
    }
}

HRESULT SingleConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept
{
    GrowableArray<ComPtr<IConnectionPoint>> only;
    RETURN_IF_FAILED(only.Append(&point_));
    return PointEnumerator::Make(only, points);
}

HRESULT SingleConnectionPointContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept
{
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != point_.Events()) return CONNECT_E_NOCONNECTION;
    *point = &point_;
    point_.AddRef();
    return S_OK;
}

}  // namespace zanthel
