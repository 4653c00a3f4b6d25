// Self-registration: the class, its ProgID, the type library and the
// interface, machine-wide or for the current user, all or nothing.
#include "interface.h"
#include "handles.h"
#include "module.h"

#include <string>
#include <wrl/client.h>

namespace zanthel {
namespace {

constexpr const wchar_t* kProgId = L"Zanthel.classTray";
constexpr const wchar_t* kClassName = L"classTray";
constexpr bool k64Bit = sizeof(void*) == 8;
// The other architecture's registry view, which may hold its own registration.
constexpr REGSAM kOtherView = k64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[39];
    ::StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_classTray); }
std::wstring InterfaceKey() { return L"Interface\\" + GuidText(IID__classTray); }
std::wstring LibraryKey() { return L"TypeLib\\" + GuidText(LIBID_Zanthel); }
std::wstring LanguageKey() { return LibraryKey() + L"\\1.0\\0"; }

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

bool KeyExists(const std::wstring& keyPath, REGSAM view = 0)
{
    UniqueKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

bool HasSubkeys(const std::wstring& keyPath)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    return subkeys > 0;
}

// Removes a key with everything below it; a missing key is no failure.
void DeleteTree(const std::wstring& keyPath, HRESULT& result)
{
    const LONG status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, keyPath.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result))
        result = HRESULT_FROM_WIN32(status);
}

// Removes every key of ours that exists, whatever else is missing. The
// ProgID and the type library key are shared with the other architecture's
// registration, which keeps them while it exists.
HRESULT UnregisterServer()
{
    HRESULT result = S_OK;
    DeleteTree(ClassKey(), result);
    DeleteTree(InterfaceKey(), result);
    DeleteTree(LanguageKey() + (k64Bit ? L"\\win64" : L"\\win32"), result);
    if (!HasSubkeys(LanguageKey())) DeleteTree(LibraryKey(), result);
    if (!KeyExists(ClassKey(), kOtherView)) DeleteTree(kProgId, result);
    return result;
}

HRESULT WriteRegistration()
{
    std::wstring path = module::Path();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    const std::wstring clsidKey = ClassKey();

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

// A registration that fails part way leaves nothing of itself behind.
HRESULT RegisterServer()
{
    const HRESULT hr = WriteRegistration();
    if (FAILED(hr)) UnregisterServer();
    return hr;
}

// Runs body with HKEY_CLASSES_ROOT standing for the current user's classes,
// so every write, the type library's included, goes there.
template <typename Body>
HRESULT ForCurrentUser(Body body)
{
    UniqueKey classes;
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    classes.put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get());
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const HRESULT hr = body();
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return hr;
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

// regsvr32 /n /i:user registers for the current user only; without "user"
// the registration is machine-wide.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    using namespace zanthel;
    return Guarded([&] {
        const auto registration = install ? &RegisterServer : &UnregisterServer;
        if (!commandLine || !*commandLine) return registration();
        if (::lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
        return ForCurrentUser(registration);
    });
}
