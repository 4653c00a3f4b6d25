#include "type_info.h"

#include "interface.h"
#include "module.h"

#include <atomic>
#include <wrl/client.h>

namespace zanthel {
namespace {

std::atomic<ITypeInfo*> cached{nullptr};

HRESULT LoadClassTrayTypeInfo(ITypeInfo** info)
{
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(module::Path().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(IID__classTray, info);
}

}  // namespace

HRESULT ClassTrayTypeInfo(ITypeInfo** info) noexcept
{
    if (!info) return E_POINTER;
    *info = nullptr;
    ITypeInfo* current = cached.load();
    if (!current) {
        ITypeInfo* loaded = nullptr;
        HRESULT hr;
        try {
            hr = LoadClassTrayTypeInfo(&loaded);
        } catch (...) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) return hr;
        // Another apartment may have loaded it meanwhile; keep the first.
        if (cached.compare_exchange_strong(current, loaded)) {
            current = loaded;
        } else {
            loaded->Release();
        }
    }
    current->AddRef();
    *info = current;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept
{
    if (ITypeInfo* info = cached.exchange(nullptr)) info->Release();
}

}  // namespace zanthel
