#include "component/connection_point.h"

#include "common/com_object.h"
#include "common/handles.h"
#include "common/ref_counted.h"

#include <memory>
#include <new>

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

template <typename Interface, typename Item, typename Entry>
class SnapshotEnumerator final : public ComObject<SnapshotEnumerator<Interface, Item, Entry>, Interface> {
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
    friend class ComObject<SnapshotEnumerator, Interface>;
    ~SnapshotEnumerator() = default;

    Ref<Snapshot<Entry>> snapshot_;
    UINT position_;
};

// The sink as riid, or null. A failed query hands over nothing, whatever it
// left in its out parameter.
ComPtr<IDispatch> Answer(IUnknown& sink, REFIID riid) noexcept
{
    IDispatch* answered = nullptr;
    ComPtr<IDispatch> taken;
    // Adopts the reference: MinGW's ComPtr::Attach would add one.
    if (SUCCEEDED(sink.QueryInterface(riid, reinterpret_cast<void**>(&answered)))) *taken.GetAddressOf() = answered;
    return taken;
}

// The sinks advised when a raise begins, each held until it is over. An
// object rarely has more than a few, and those take no heap: a raise is one
// event of a busy host. Only the entries taken are touched again, so the
// spare slots cost a raise nothing.
class SinkSnapshot {
public:
    struct Entry {
        DWORD cookie;
        IDispatch* sink;
    };

    SinkSnapshot() = default;
    SinkSnapshot(const SinkSnapshot&) = delete;
    SinkSnapshot& operator=(const SinkSnapshot&) = delete;
    ~SinkSnapshot()
    {
        for (UINT index = 0; index < count_; ++index) items_[index].sink->Release();
    }

    HRESULT Take(const GrowableArray<Connection>& connections) noexcept
    {
        const UINT count = connections.Count();
        if (count > kInline) {
            spilled_.reset(new (std::nothrow) Entry[count]);
            if (!spilled_) return E_OUTOFMEMORY;
            items_ = spilled_.get();
        }
        for (; count_ < count; ++count_) {
            items_[count_] = Entry{connections[count_].cookie, connections[count_].sink.Get()};
            items_[count_].sink->AddRef();
        }
        return S_OK;
    }
    UINT Count() const noexcept { return count_; }
    const Entry& operator[](UINT index) const noexcept { return items_[index]; }

private:
    static constexpr UINT kInline = 4;
    Entry inline_[kInline];
    std::unique_ptr<Entry[]> spilled_;
    Entry* items_ = inline_;
    UINT count_ = 0;
};

using ConnectionEnumerator = SnapshotEnumerator<IEnumConnections, CONNECTDATA, Connection>;
using PointEnumerator = SnapshotEnumerator<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>>;

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
    // Script and dynamic sinks answer only IDispatch; the events are a pure
    // dispatch interface, so that serves as well.
    connection.sink = Answer(*sink, events_);
    if (!connection.sink) connection.sink = Answer(*sink, IID_IDispatch);
    if (!connection.sink) return CONNECT_E_CANNOTCONNECT;
    connection.cookie = NewCookie();
    RETURN_IF_FAILED(connections_.Append(connection));
    *cookie = connection.cookie;
    return S_OK;
}

bool DispatchConnectionPoint::Advised(DWORD cookie, const IDispatch* sink) const noexcept
{
    for (UINT index = 0; index < connections_.Count(); ++index)
        if (connections_[index].cookie == cookie) return connections_[index].sink.Get() == sink;
    return false;
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

void DispatchConnectionPoint::Raise(DispatchConnectionPoint* points, UINT count, DISPID id, const VARIANT* arguments,
                                    UINT argumentCount) noexcept
{
    if (count == 0 || argumentCount > kMaxArguments) return;
    // The caller holds the object, and so every point, until the raise is
    // over: a hold here would outlive a raise a host cut short.
    for (UINT index = 0; index < count; ++index) points[index].RaiseHere(id, arguments, argumentCount);
}

void DispatchConnectionPoint::RaiseHere(DISPID id, const VARIANT* arguments, UINT count) noexcept
{
    // A point nobody listens to costs a raise nothing.
    if (connections_.Count() == 0) return;
    // Every sink advised now lives until the raise is over.
    SinkSnapshot sinks;
    if (FAILED(sinks.Take(connections_))) return;
    for (UINT index = 0; index < sinks.Count(); ++index) {
        // An earlier handler unadvised it: it has asked to hear no more.
        if (!Advised(sinks[index].cookie, sinks[index].sink)) continue;
        // Each sink gets its own copies: one that clears its arguments
        // harms no other.
        UniqueVariants<kMaxArguments> copies;
        HRESULT hr = S_OK;
        for (UINT copied = 0; copied < count && SUCCEEDED(hr); ++copied)
            hr = ::VariantCopy(&copies.items[copied], const_cast<VARIANT*>(&arguments[copied]));
        if (FAILED(hr)) continue;
        // Field by field, for the reason UniqueExcepInfo's constructor gives.
        DISPPARAMS params;
        params.rgvarg = count ? copies.items : nullptr;
        params.rgdispidNamedArgs = nullptr;
        params.cArgs = count;
        params.cNamedArgs = 0;
        UniqueVariants<1> result;
        UniqueExcepInfo exception;
        UINT argumentError = 0;
        sinks[index].sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.items, &exception,
                                  &argumentError);
    }
}

HRESULT DispatchConnectionPoint::EnumPoints(DispatchConnectionPoint* points, UINT count,
                                            IEnumConnectionPoints** made) noexcept
{
    GrowableArray<ComPtr<IConnectionPoint>> listed;
    for (UINT index = 0; index < count; ++index) RETURN_IF_FAILED(listed.Append(&points[index]));
    return PointEnumerator::Make(listed, made);
}

HRESULT DispatchConnectionPoint::FindPoint(DispatchConnectionPoint* points, UINT count, REFIID riid,
                                           IConnectionPoint** point) noexcept
{
    if (!point) return E_POINTER;
    *point = nullptr;
    for (UINT index = 0; index < count && !*point; ++index)
        if (riid == points[index].events_) *point = &points[index];
    if (!*point) return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

}  // namespace zanthel
