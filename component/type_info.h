// The type information of _classTray, read once from the type library that
// the module carries, and the source of every IDispatch answer.
#pragma once

#include "dispatch_arguments.h"
#include "win.h"

#include <wrl/client.h>

namespace zanthel {

// Loaded on first use and kept until the module is unloaded.
struct ClassTrayType {
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    MemberTable members;
};

HRESULT ClassTrayTypeInfo(const ClassTrayType*& type) noexcept;

// Lets the cached type information go when the module is unloaded.
void ReleaseTypeInfoCache() noexcept;

}  // namespace zanthel
