// The IUnknown plumbing shared by the component's public COM objects: a
// class lists its interfaces once, and QueryInterface answers from that list.
#pragma once

#include "module.h"
#include "win.h"

#include <atomic>

namespace zanthel {

// One interface a class answers for, and the base class that implements it.
template <const IID& Iid, typename ImplementedBy>
struct Answers {
    using Base = ImplementedBy;
    static const IID& Id() { return Iid; }
};

// Holds the reference count and keeps the module loaded while the object
// lives. Derived lists its interfaces; IUnknown is the first one's base.
template <typename Derived, typename... Interfaces>
class ComObject {
public:
    ComObject() { module::AddObject(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { module::ReleaseObject(); }

protected:
    HRESULT QueryListedInterface(REFIID riid, void** object) noexcept
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown) {
            *object = Cast<typename First<Interfaces...>::Base>();
        } else {
            (TryAnswer<Interfaces>(riid, object) || ...);
        }
        if (!*object) return E_NOINTERFACE;
        static_cast<Derived*>(this)->AddRef();
        return S_OK;
    }
    ULONG AddReference() noexcept { return ++references_; }
    ULONG ReleaseReference() noexcept
    {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    template <typename Entry, typename...>
    struct First {
        using Base = typename Entry::Base;
    };
    template <typename Base>
    void* Cast() noexcept
    {
        return static_cast<Base*>(static_cast<Derived*>(this));
    }
    template <typename Entry>
    bool TryAnswer(REFIID riid, void** object) noexcept
    {
        if (riid != Entry::Id()) return false;
        *object = Cast<typename Entry::Base>();
        return true;
    }

    std::atomic<ULONG> references_{1};
};

}  // namespace zanthel

// Declares IUnknown for a class built on ComObject.
#define ZANTHEL_IUNKNOWN                                                                   \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override \
    {                                                                                      \
        return QueryListedInterface(riid, object);                                         \
    }                                                                                      \
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); }          \
    ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }
