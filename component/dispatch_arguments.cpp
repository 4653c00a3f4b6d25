#include "component/dispatch_arguments.h"

#include "common/errors.h"

#include <memory>

namespace zanthel {
namespace {

WORD FlagOf(INVOKEKIND kind)
{
    switch (kind) {
        case INVOKE_FUNC:
            return DISPATCH_METHOD;
        case INVOKE_PROPERTYGET:
            return DISPATCH_PROPERTYGET;
        case INVOKE_PROPERTYPUT:
            return DISPATCH_PROPERTYPUT;
        case INVOKE_PROPERTYPUTREF:
            return DISPATCH_PROPERTYPUTREF;
    }
    return 0;
}

bool IsPlainReference(const VARIANT& argument)
{
    return (V_VT(&argument) & VT_BYREF) && V_VT(&argument) != (VT_BYREF | VT_VARIANT);
}

// One argument as the member's BSTR by reference expects it: a string in a
// script variable by reference to that variable, anything else by value as
// the component's own string, or as the reference it already is.
HRESULT CopyArgument(const VARIANT& caller, VARIANT& owned)
{
    const VARIANT* source = &caller;
    if (V_VT(&caller) == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(&caller);
        if (!source) return DISP_E_TYPEMISMATCH;
        if (V_VT(source) == VT_BSTR) {
            V_VT(&owned) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&owned) = &V_BSTR(const_cast<VARIANT*>(source));
            return S_OK;
        }
    }
    // A reference owns nothing, so a bitwise copy is safe to clear.
    if (V_VT(source) & VT_BYREF) {
        owned = *source;
        return S_OK;
    }
    // Made a string before the call: oleaut32 would convert the value itself,
    // write the member's string back into the copy after it and, when that
    // cannot become an object again, report a call that took effect as failed.
    return ::VariantChangeType(&owned, const_cast<VARIANT*>(source), 0, VT_BSTR);
}

// Descriptions the type information lends out until they are given back.
struct GiveBackTypeAttr {
    ITypeInfo* info;
    void operator()(TYPEATTR* lent) const { info->ReleaseTypeAttr(lent); }
};
struct GiveBackFuncDesc {
    ITypeInfo* info;
    void operator()(FUNCDESC* lent) const { info->ReleaseFuncDesc(lent); }
};

}  // namespace

HRESULT MemberTable::Load(ITypeInfo* info) noexcept
{
    TYPEATTR* lentAttributes = nullptr;
    RETURN_IF_FAILED(info->GetTypeAttr(&lentAttributes));
    const std::unique_ptr<TYPEATTR, GiveBackTypeAttr> attributes(lentAttributes, {info});
    const UINT functions = attributes->cFuncs;
    if (functions > kMaxMembers) return E_UNEXPECTED;
    for (UINT index = 0; index < functions; ++index) {
        FUNCDESC* lentFunction = nullptr;
        RETURN_IF_FAILED(info->GetFuncDesc(index, &lentFunction));
        const std::unique_ptr<FUNCDESC, GiveBackFuncDesc> function(lentFunction, {info});
        members_[index] = {function->memid, function->invkind, static_cast<UINT>(function->cParams)};
    }
    count_ = functions;
    return S_OK;
}

bool MemberTable::Answers(DISPID id, WORD flags) const noexcept
{
    for (UINT index = 0; index < count_; ++index)
        if (members_[index].id == id && (FlagOf(members_[index].kind) & flags)) return true;
    return false;
}

bool MemberTable::TooManyArguments(DISPID id, WORD flags, UINT arguments) const noexcept
{
    for (UINT index = 0; index < count_; ++index) {
        const Member& member = members_[index];
        if (member.id == id && (FlagOf(member.kind) & flags) && arguments > member.arguments) return true;
    }
    return false;
}

HRESULT InvokeArguments::Prepare(const DISPPARAMS& caller, UINT* argumentError) noexcept
{
    params_ = caller;
    bool allPlainReferences = true;
    for (UINT index = 0; index < caller.cArgs; ++index)
        allPlainReferences = allPlainReferences && IsPlainReference(caller.rgvarg[index]);
    if (allPlainReferences) return S_OK;
    if (caller.cArgs > MemberTable::kMaxArguments) return DISP_E_BADPARAMCOUNT;

    for (UINT index = 0; index < caller.cArgs; ++index) {
        const HRESULT hr = CopyArgument(caller.rgvarg[index], owned_.items[index]);
        if (FAILED(hr)) {
            if (argumentError) *argumentError = index;
            return hr;
        }
    }
    params_.rgvarg = owned_.items;
    return S_OK;
}

}  // namespace zanthel
