// Self-registration: the class, its ProgID, the type library and the interface.
#include "interface.h"
#include "handles.h"
#include "module.h"

#include <string>
#include <wrl/client.h>

namespace zanthel {
namespace {

constexpr const wchar_t* kProgId = L"Zanthel.classTray";
constexpr const wchar_t* kClassName = L"classTray";

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[39];
    ::StringFromGUID2(guid, text, 39);
    return text;
}

// Writes one string value, creating the key; the first failure is kept.
class RegistryWriter {
public:
    void Set(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value)
    {
        if (FAILED(result_)) return;
        UniqueKey key;
        LONG status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                        key.put(), nullptr);
        if (status == ERROR_SUCCESS) {
            status = ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        }
        if (status != ERROR_SUCCESS) result_ = HRESULT_FROM_WIN32(status);
    }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_ = S_OK;
};

HRESULT DeleteTree(const std::wstring& keyPath)
{
    LONG status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, keyPath.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

bool TypeLibraryRegistered()
{
    const std::wstring keyPath = L"TypeLib\\" + GuidText(LIBID_Zanthel) + L"\\1.0";
    UniqueKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

HRESULT RegisterServer()
{
    std::wstring path = module::Path();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    const std::wstring clsidKey = L"CLSID\\" + GuidText(CLSID_classTray);

    RegistryWriter registry;
    registry.Set(clsidKey, nullptr, kClassName);
    registry.Set(clsidKey + L"\\InprocServer32", nullptr, path);
    registry.Set(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    registry.Set(clsidKey + L"\\ProgID", nullptr, kProgId);
    registry.Set(clsidKey + L"\\TypeLib", nullptr, GuidText(LIBID_Zanthel));
    registry.Set(clsidKey + L"\\VERSION", nullptr, L"1.0");
    registry.Set(kProgId, nullptr, kClassName);
    registry.Set(std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_classTray));
    if (FAILED(registry.Result())) return registry.Result();

    // Registering the library also registers its automation interface.
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    return ::RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterServer()
{
    HRESULT result = S_OK;
    if (TypeLibraryRegistered()) {
        // Removes the interface entries together with the library's.
        result = ::UnRegisterTypeLib(LIBID_Zanthel, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    }
    HRESULT hr = DeleteTree(L"CLSID\\" + GuidText(CLSID_classTray));
    if (SUCCEEDED(result)) result = hr;
    hr = DeleteTree(kProgId);
    if (SUCCEEDED(result)) result = hr;
    return result;
}

template <typename Body>
HRESULT Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace
}  // namespace zanthel

STDAPI DllRegisterServer() { return zanthel::Guarded(zanthel::RegisterServer); }

STDAPI DllUnregisterServer() { return zanthel::Guarded(zanthel::UnregisterServer); }
