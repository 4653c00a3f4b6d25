// IDispatch by delegation to the cached type information, as ATL's
// IDispatchImpl gives it: a class derives from TypeInfoDispatch with its
// cached type, the step that prepares a call's arguments, its dual interface
// and its other interfaces.
#pragma once

#include "common/com_object.h"
#include "common/errors.h"
#include "common/win.h"
#include "component/type_info.h"

#include <type_traits>
#include <wrl/client.h>

namespace zanthel {

// The earlier dual interface a class's dual interface extends, which the
// object answers with the same pointer; void when there is none.
template <typename Dual>
struct EarlierVersion {
    using Type = void;
};

// Arguments has Prepare(const DISPPARAMS&, UINT* argumentError) and Get(),
// the DISPPARAMS handed to ITypeInfo::Invoke (InvokeArguments, CallerArguments).
template <typename Derived, CachedType kType, typename Arguments, typename Dual, typename... Others>
class TypeInfoDispatch : public ComObject<Derived, Dual, Others...> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        using Earlier = typename EarlierVersion<Dual>::Type;
        if constexpr (!std::is_void_v<Earlier>) {
            if (object && riid == __uuidof(Earlier)) {
                *object = static_cast<Dual*>(this);
                this->AddRef();
                return S_OK;
            }
        }
        return ComObject<Derived, Dual, Others...>::QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override
    {
        return CopyTypeInfo(kType, index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override
    {
        return CachedIDsOfNames(kType, riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) noexcept override
    {
        const DispatchType* type;
        RETURN_IF_FAILED(CheckInvoke(kType, id, riid, flags, params, type));
        // The caller's code may run before the member returns (an object
        // argument's default property, an event's handler) and let go of its
        // last reference to this object.
        const Microsoft::WRL::ComPtr<Dual> self(this);
        Arguments arguments;
        RETURN_IF_FAILED(arguments.Prepare(*params, argumentError));
        return type->info->Invoke(self.Get(), id, flags, arguments.Get(), result, exception, argumentError);
    }
};

}  // namespace zanthel
