// The yardstick for Zanthel's own dispatch: a _classTray whose IDispatch hands
// every call straight to the type information's Invoke, with members that do
// nothing but keep and return strings.
#pragma once

#include "component/interface.h"

#include <string>

namespace zanthel::bench {

// A new reference object on the type library inside the DLL at dllPath.
HRESULT CreateReferenceTray(const std::wstring& dllPath, _classTray** tray);

}  // namespace zanthel::bench
