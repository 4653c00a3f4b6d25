// Outgoing events through a dispinterface: an object's one connection point,
// the container interface that finds it, and the raise that calls every
// advised sink.
#pragma once

#include "errors.h"
#include "win.h"

#include <new>
#include <utility>
#include <wrl/client.h>

namespace zanthel {

// A small array that grows as needed and owns its elements.
template <typename T>
class GrowableArray {
public:
    GrowableArray() = default;
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;
    ~GrowableArray() { delete[] items_; }

    UINT Count() const noexcept { return count_; }
    T& operator[](UINT index) noexcept { return items_[index]; }
    const T& operator[](UINT index) const noexcept { return items_[index]; }

    HRESULT Append(const T& item) noexcept
    {
        if (count_ == capacity_) RETURN_IF_FAILED(Reserve(capacity_ ? 2 * capacity_ : 4));
        items_[count_++] = item;
        return S_OK;
    }
    // Into an empty array.
    HRESULT CopyFrom(const GrowableArray& other) noexcept
    {
        RETURN_IF_FAILED(Reserve(other.count_));
        for (; count_ < other.count_; ++count_) items_[count_] = other.items_[count_];
        return S_OK;
    }
    // The element leaves through item, so that releasing it (which may call
    // back into the array's owner) happens after the array is consistent.
    void RemoveAt(UINT index, T& item) noexcept
    {
        item = std::move(items_[index]);
        for (; index + 1 < count_; ++index) items_[index] = std::move(items_[index + 1]);
        items_[--count_] = T();
    }

private:
    HRESULT Reserve(UINT capacity) noexcept
    {
        if (capacity <= capacity_) return S_OK;
        T* grown = new (std::nothrow) T[capacity];
        if (!grown) return E_OUTOFMEMORY;
        for (UINT index = 0; index < count_; ++index) grown[index] = std::move(items_[index]);
        delete[] items_;
        items_ = grown;
        capacity_ = capacity;
        return S_OK;
    }

    T* items_ = nullptr;
    UINT count_ = 0;
    UINT capacity_ = 0;
};

struct Connection {
    DWORD cookie = 0;
    Microsoft::WRL::ComPtr<IDispatch> sink;
};

// The connection point of an object's events. It lives inside the object
// (its container) and shares its reference count.
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

    const IID& Events() const noexcept { return events_; }

    // Calls the event on every sink advised when it starts, on this thread.
    // arguments are in DISPPARAMS order (the last parameter first).
    void Raise(DISPID id, const VARIANT* arguments, UINT count) noexcept;
    static constexpr UINT kMaxArguments = 2;

private:
    DWORD NewCookie() noexcept;

    IConnectionPointContainer& container_;
    const IID& events_;
    GrowableArray<Connection> connections_;
    DWORD nextCookie_ = 1;
};

// The container side of an object with one connection point: a base of the
// object, whose IUnknown answers for both.
class SingleConnectionPointContainer : public IConnectionPointContainer {
public:
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept override;

protected:
    explicit SingleConnectionPointContainer(const IID& events) noexcept : point_(*this, events) {}
    ~SingleConnectionPointContainer() = default;

    void Raise(DISPID id, const VARIANT* arguments, UINT count) noexcept { point_.Raise(id, arguments, count); }

private:
    DispatchConnectionPoint point_;
};

}  // namespace zanthel
