#include "type_info.h"

#include "interface.h"
#include "notify_interface.h"
#include "errors.h"
#include "module.h"
#include "resource.h"

#include <atomic>
#include <new>
#include <wrl/client.h>

namespace zanthel {
namespace {

struct Location {
    UINT library;
    const GUID* guid;
};
constexpr UINT kTypes = static_cast<UINT>(CachedType::Count);
const Location kLocations[kTypes] = {
    {ZANTHEL_TYPELIB, &IID__classTray},
    {ZANTHEL_NOTIFY_TYPELIB, &IID_INotifyIcon},
    {ZANTHEL_NOTIFY_TYPELIB, &CLSID_NotifyIcon},
};

std::atomic<DispatchType*> cached[kTypes] = {};

// The TYPELIB resource of that index, as "<module path>\<index>" names it.
HRESULT LoadTypeLibrary(UINT index, Microsoft::WRL::ComPtr<ITypeLib>& library) noexcept
{
    Text path;
    RETURN_IF_FAILED(module::Path(path));
    RETURN_IF_FAILED(path.Append(L"\\"));
    RETURN_IF_FAILED(path.AppendNumber(static_cast<LONG>(index)));
    return ::LoadTypeLibEx(path.Chars(), REGKIND_NONE, &library);
}

HRESULT Load(const Location& location, DispatchType*& loaded) noexcept
{
    DispatchType* type = new (std::nothrow) DispatchType;
    if (!type) return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibrary(location.library, library);
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(*location.guid, &type->info);
    if (SUCCEEDED(hr)) hr = type->members.Load(type->info.Get());
    if (FAILED(hr)) {
        delete type;
        return hr;
    }
    loaded = type;
    return S_OK;
}

}  // namespace

HRESULT CachedTypeInfo(CachedType which, const DispatchType*& type) noexcept
{
    std::atomic<DispatchType*>& slot = cached[static_cast<UINT>(which)];
    DispatchType* current = slot.load(std::memory_order_acquire);
    if (!current) {
        DispatchType* loaded = nullptr;
        RETURN_IF_FAILED(Load(kLocations[static_cast<UINT>(which)], loaded));
        // Another apartment may have loaded it meanwhile; keep the first.
        if (slot.compare_exchange_strong(current, loaded)) {
            current = loaded;
        } else {
            delete loaded;
        }
    }
    type = current;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept
{
    for (std::atomic<DispatchType*>& slot : cached) delete slot.exchange(nullptr);
}

}  // namespace zanthel
