// Argument handling that IDispatch::Invoke adds in front of the type
// information's own, where Wine's is looser than automation clients expect.
#pragma once

#include "win.h"

#include <vector>

namespace zanthel {

// DISP_E_BADPARAMCOUNT when the call passes more arguments than the member
// of that DISPID and kind takes; S_OK otherwise, leaving other checks to Invoke.
HRESULT CheckArgumentCount(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params);

// Script clients pass a variable as a VARIANT by reference. The arguments
// returned hand a string inside on as the BSTR by reference the member
// declares, so a write-back still reaches the caller's variable, and any other
// value by value, for the usual conversion. The result borrows from params.
std::vector<VARIANT> UnwrapVariantReferences(const DISPPARAMS& params);

}  // namespace zanthel
