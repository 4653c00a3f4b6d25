#include "component/type_info.h"

#include "common/errors.h"
#include "common/handles.h"
#include "common/module.h"
#include "component/interface.h"
#include "component/notify_interface.h"
#include "component/resource.h"

#include <memory>
#include <new>
#include <utility>

namespace zanthel {
namespace {

struct Location {
    UINT library;
    const GUID* guid;
};
constexpr UINT kTypes = static_cast<UINT>(CachedType::Count);
const Location kLocations[kTypes] = {
    {ZANTHEL_TYPELIB, &IID__classTray},
    {ZANTHEL_NOTIFY_TYPELIB, &IID_INotifyIcon2},
    {ZANTHEL_NOTIFY_TYPELIB, &CLSID_NotifyIcon},
};

SharedOnce<DispatchType> cached[kTypes];

// The TYPELIB resource of that index, as "<module path>\<index>" names it.
HRESULT LoadTypeLibrary(UINT index, Microsoft::WRL::ComPtr<ITypeLib>& library) noexcept
{
    Text path;
    RETURN_IF_FAILED(module::Path(path));
    RETURN_IF_FAILED(path.Append(L"\\"));
    RETURN_IF_FAILED(path.AppendNumber(static_cast<LONG>(index)));
    return ::LoadTypeLibEx(path.Chars(), REGKIND_NONE, &library);
}

HRESULT Load(const Location& location, std::unique_ptr<DispatchType>& loaded) noexcept
{
    std::unique_ptr<DispatchType> type(new (std::nothrow) DispatchType);
    if (!type) return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(LoadTypeLibrary(location.library, library));
    RETURN_IF_FAILED(library->GetTypeInfoOfGuid(*location.guid, &type->info));
    RETURN_IF_FAILED(type->members.Load(type->info.Get()));
    loaded = std::move(type);
    return S_OK;
}

HRESULT CachedTypeInfo(CachedType which, const DispatchType*& type) noexcept
{
    SharedOnce<DispatchType>& slot = cached[static_cast<UINT>(which)];
    type = slot.Get();
    if (type) return S_OK;
    std::unique_ptr<DispatchType> loaded;
    RETURN_IF_FAILED(Load(kLocations[static_cast<UINT>(which)], loaded));
    // Another apartment may have loaded it meanwhile; the first is kept.
    type = slot.Offer(std::move(loaded));
    return S_OK;
}

}  // namespace

HRESULT CopyTypeInfo(CachedType which, UINT index, ITypeInfo** info) noexcept
{
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const DispatchType* type;
    RETURN_IF_FAILED(CachedTypeInfo(which, type));
    return type->info.CopyTo(info);
}

HRESULT CachedIDsOfNames(CachedType which, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    // The type information reads the first name whatever the count.
    if (count == 0) return S_OK;
    const DispatchType* type;
    RETURN_IF_FAILED(CachedTypeInfo(which, type));
    return type->info->GetIDsOfNames(names, count, ids);
}

HRESULT CheckInvoke(CachedType which, DISPID id, REFIID riid, WORD flags, const DISPPARAMS* params,
                    const DispatchType*& type) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs) return DISP_E_BADPARAMCOUNT;
    // A host polls mnuEvent for months: everything here is worked out once.
    RETURN_IF_FAILED(CachedTypeInfo(which, type));
    if (!type->members.Answers(id, flags)) return DISP_E_MEMBERNOTFOUND;
    if (type->members.TooManyArguments(id, flags, params->cArgs)) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept
{
    for (SharedOnce<DispatchType>& slot : cached) slot.Reset();
}

}  // namespace zanthel
