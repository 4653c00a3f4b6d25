#include "type_info.h"

#include "interface.h"
#include "module.h"

#include <atomic>
#include <new>
#include <wrl/client.h>

namespace zanthel {
namespace {

std::atomic<ClassTrayType*> cached{nullptr};

void Free(ClassTrayType* type)
{
    if (type->info) type->info->Release();
    delete type;
}

HRESULT Load(ClassTrayType*& loaded)
{
    ClassTrayType* type = new (std::nothrow) ClassTrayType;
    if (!type) return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(module::Path().c_str(), REGKIND_NONE, &library);
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__classTray, &type->info);
    if (SUCCEEDED(hr)) hr = type->members.Load(type->info);
    if (FAILED(hr)) {
        Free(type);
        return hr;
    }
    loaded = type;
    return S_OK;
}

}  // namespace

HRESULT ClassTrayTypeInfo(const ClassTrayType*& type) noexcept
{
    ClassTrayType* current = cached.load(std::memory_order_acquire);
    if (!current) {
        ClassTrayType* loaded = nullptr;
        HRESULT hr;
        try {
            hr = Load(loaded);
        } catch (...) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) return hr;
        // Another apartment may have loaded it meanwhile; keep the first.
        if (cached.compare_exchange_strong(current, loaded)) {
            current = loaded;
        } else {
            Free(loaded);
        }
    }
    type = current;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept
{
    if (ClassTrayType* type = cached.exchange(nullptr)) Free(type);
}

}  // namespace zanthel
