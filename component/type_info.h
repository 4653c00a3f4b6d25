// The type information of _classTray, read once from the type library that
// the module carries, and the source of every IDispatch answer.
#pragma once

#include "win.h"

namespace zanthel {

// A new reference to the cached type information.
HRESULT ClassTrayTypeInfo(ITypeInfo** info) noexcept;

// Lets the cached type information go when the module is unloaded.
void ReleaseTypeInfoCache() noexcept;

}  // namespace zanthel
