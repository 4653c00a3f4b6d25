// The type information of the component's classes, read once from the type
// libraries that the module carries, and the source of every IDispatch and
// IProvideClassInfo answer.
#pragma once

#include "common/win.h"
#include "component/dispatch_arguments.h"

#include <wrl/client.h>

namespace zanthel {

// Loaded on first use and kept until the module is unloaded.
struct DispatchType {
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    MemberTable members;
};

// Every type an object answers from; type_info.cpp knows the type library
// (TYPELIB resource) and the GUID of each.
enum class CachedType { ClassTray, NotifyIcon, NotifyIconClass, Count };

// The type's information for a caller, at index 0 only.
HRESULT CopyTypeInfo(CachedType which, UINT index, ITypeInfo** info) noexcept;

// IDispatch::GetIDsOfNames, answered by the type's information; a null
// array is refused and no names are answered without it.
HRESULT CachedIDsOfNames(CachedType which, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// What IDispatch::Invoke checks before the type information's own Invoke:
// the call's shape, the member and its argument count. type is then the
// type's cached information.
HRESULT CheckInvoke(CachedType which, DISPID id, REFIID riid, WORD flags, const DISPPARAMS* params,
                    const DispatchType*& type) noexcept;

// Lets the cached type information go when the module is unloaded.
void ReleaseTypeInfoCache() noexcept;

}  // namespace zanthel
