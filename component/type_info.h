// The type information of the component's classes, read once from the type
// libraries that the module carries, and the source of every IDispatch and
// IProvideClassInfo answer.
#pragma once

#include "dispatch_arguments.h"
#include "win.h"

#include <wrl/client.h>

namespace zanthel {

// Loaded on first use and kept until the module is unloaded.
struct DispatchType {
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    MemberTable members;
};
using ClassTrayType = DispatchType;

// Every type an object answers from; type_info.cpp knows the type library
// (TYPELIB resource) and the GUID of each.
enum class CachedType { ClassTray, NotifyIcon, NotifyIconClass, Count };

HRESULT CachedTypeInfo(CachedType which, const DispatchType*& type) noexcept;

inline HRESULT ClassTrayTypeInfo(const ClassTrayType*& type) noexcept
{
    return CachedTypeInfo(CachedType::ClassTray, type);
}

// Lets the cached type information go when the module is unloaded.
void ReleaseTypeInfoCache() noexcept;

}  // namespace zanthel
