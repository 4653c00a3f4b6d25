#include "type_info.h"

#include "interface.h"
#include "errors.h"
#include "module.h"

#include <atomic>
#include <new>
#include <wrl/client.h>

namespace zanthel {
namespace {

std::atomic<ClassTrayType*> cached{nullptr};

HRESULT Load(ClassTrayType*& loaded) noexcept
{
    ClassTrayType* type = new (std::nothrow) ClassTrayType;
    if (!type) return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    Text path;
    HRESULT hr = module::Path(path);
    if (SUCCEEDED(hr)) hr = ::LoadTypeLibEx(path.Chars(), REGKIND_NONE, &library);
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__classTray, &type->info);
    if (SUCCEEDED(hr)) hr = type->members.Load(type->info.Get());
    if (FAILED(hr)) {
        delete type;
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
        RETURN_IF_FAILED(Load(loaded));
        // Another apartment may have loaded it meanwhile; keep the first.
        if (cached.compare_exchange_strong(current, loaded)) {
            current = loaded;
        } else {
            delete loaded;
        }
    }
    type = current;
    return S_OK;
}

void ReleaseTypeInfoCache() noexcept { delete cached.exchange(nullptr); }

}  // namespace zanthel
