// The IUnknown plumbing shared by the component's public COM objects, in the
// shape of C++/WinRT's implements<>: a class derives from ComObject with its
// interfaces, names each once, and QueryInterface answers from that list.
#pragma once

#include "common/module.h"
#include "common/ref_counted.h"
#include "common/win.h"

#include <atomic>
#include <new>
#include <type_traits>

namespace zanthel {

// Holds the reference count and keeps the module loaded while the object
// lives. Each interface answers for its own IID, and for IDispatch or
// IProvideClassInfo when it extends them; IUnknown is the first one's.
template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown) {
            *object = static_cast<typename First<Interfaces...>::Type*>(this);
        } else {
            (TryAnswer<Interfaces>(riid, object) || ...);
        }
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

    // A new object for the caller as riid; on failure *object is null and
    // the object gone.
    template <typename... Arguments>
    static HRESULT Create(REFIID riid, void** object, Arguments&&... arguments) noexcept
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        Ref<Derived> created;
        // Adopts the first reference, as Make does.
        *created.GetAddressOf() = new (std::nothrow) Derived(static_cast<Arguments&&>(arguments)...);
        if (!created) return E_OUTOFMEMORY;
        return created->QueryInterface(riid, object);
    }

protected:
    ComObject() { module::AddObject(); }
    ~ComObject() { module::ReleaseObject(); }

private:
    template <typename Head, typename...>
    struct First {
        using Type = Head;
    };
    template <typename Interface, typename Ancestor>
    static bool Extends(REFIID riid) noexcept
    {
        return std::is_base_of_v<Ancestor, Interface> && riid == __uuidof(Ancestor);
    }
    template <typename Interface>
    bool TryAnswer(REFIID riid, void** object) noexcept
    {
        if (riid != __uuidof(Interface) && !Extends<Interface, IDispatch>(riid) &&
            !Extends<Interface, IProvideClassInfo>(riid))
            return false;
        *object = static_cast<Interface*>(this);
        return true;
    }

    std::atomic<ULONG> references_{1};
};

}  // namespace zanthel
