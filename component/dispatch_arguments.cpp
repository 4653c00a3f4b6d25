#include "dispatch_arguments.h"

namespace zanthel {
namespace {

bool KindMatches(INVOKEKIND kind, WORD flags)
{
    switch (kind) {
        case INVOKE_FUNC:
            return (flags & DISPATCH_METHOD) != 0;
        case INVOKE_PROPERTYGET:
            return (flags & DISPATCH_PROPERTYGET) != 0;
        case INVOKE_PROPERTYPUT:
            return (flags & DISPATCH_PROPERTYPUT) != 0;
        case INVOKE_PROPERTYPUTREF:
            return (flags & DISPATCH_PROPERTYPUTREF) != 0;
    }
    return false;
}

}  // namespace

HRESULT CheckArgumentCount(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return S_OK;
    const UINT functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (UINT index = 0; index < functions; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(index, &function))) continue;
        const bool tooMany = function->memid == id && KindMatches(function->invkind, flags) &&
                             params.cArgs > static_cast<UINT>(function->cParams);
        info->ReleaseFuncDesc(function);
        if (tooMany) return DISP_E_BADPARAMCOUNT;
    }
    return S_OK;
}

std::vector<VARIANT> UnwrapVariantReferences(const DISPPARAMS& params)
{
    std::vector<VARIANT> arguments(params.rgvarg, params.rgvarg + params.cArgs);
    for (VARIANT& argument : arguments) {
        if (V_VT(&argument) != (VT_BYREF | VT_VARIANT) || !V_VARIANTREF(&argument)) continue;
        VARIANT* inner = V_VARIANTREF(&argument);
        if (V_VT(inner) == VT_BSTR) {
            V_VT(&argument) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&argument) = &V_BSTR(inner);
        } else if (V_VT(inner) == (VT_BYREF | VT_BSTR)) {
            V_VT(&argument) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&argument) = V_BSTRREF(inner);
        } else if (!(V_VT(inner) & VT_BYREF)) {
            argument = *inner;
        }
    }
    return arguments;
}

}  // namespace zanthel
