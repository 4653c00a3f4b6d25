// Self-registration: the class, its ProgID, the type library and the
// interface, machine-wide or for the current user, all or nothing.
#include "errors.h"
#include "handles.h"
#include "module.h"
#include "interface.h"

#include <wrl/client.h>

namespace zanthel {
namespace {

constexpr const wchar_t* kProgId = L"Zanthel.classTray";
constexpr const wchar_t* kClassName = L"classTray";
constexpr bool k64Bit = sizeof(void*) == 8;
// The other architecture's registry view, which may hold its own registration.
constexpr REGSAM kOtherView = k64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// A key path: prefix, then the GUID in braces if any, then suffix.
HRESULT KeyPath(Text& path, const wchar_t* prefix, const GUID* guid = nullptr, const wchar_t* suffix = nullptr)
{
    RETURN_IF_FAILED(path.Assign(prefix));
    if (guid) {
        wchar_t text[39];
        ::StringFromGUID2(*guid, text, 39);
        RETURN_IF_FAILED(path.Append(text));
    }
    return path.Append(suffix);
}

HRESULT SetValue(const wchar_t* prefix, const GUID* guid, const wchar_t* suffix, const wchar_t* name,
                 const wchar_t* value)
{
    Text path;
    RETURN_IF_FAILED(KeyPath(path, prefix, guid, suffix));
    UniqueKey key;
    LONG status =
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.Chars(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t)));
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT SetGuidValue(const wchar_t* prefix, const GUID* guid, const wchar_t* suffix, const GUID& value)
{
    wchar_t text[39];
    ::StringFromGUID2(value, text, 39);
    return SetValue(prefix, guid, suffix, nullptr, text);
}

bool KeyExists(const wchar_t* prefix, const GUID* guid, const wchar_t* suffix, REGSAM view = 0)
{
    Text path;
    UniqueKey key;
    return SUCCEEDED(KeyPath(path, prefix, guid, suffix)) &&
           ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.Chars(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

bool HasSubkeys(const wchar_t* prefix, const GUID* guid, const wchar_t* suffix)
{
    Text path;
    UniqueKey key;
    if (FAILED(KeyPath(path, prefix, guid, suffix)) ||
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.Chars(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    return subkeys > 0;
}

// Removes a key with everything below it; a missing key is no failure, and
// the first failure is kept.
void DeleteTree(HRESULT& result, const wchar_t* prefix, const GUID* guid = nullptr, const wchar_t* suffix = nullptr)
{
    Text path;
    HRESULT hr = KeyPath(path, prefix, guid, suffix);
    if (SUCCEEDED(hr)) {
        const LONG status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, path.Chars());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) hr = HRESULT_FROM_WIN32(status);
    }
    if (SUCCEEDED(result)) result = hr;
}

// Removes every key of ours that exists, whatever else is missing. The
// ProgID, the interface and the type library key are shared with the other
// architecture's registration, which keeps them while it exists.
HRESULT UnregisterServer() noexcept
{
    HRESULT result = S_OK;
    DeleteTree(result, L"CLSID\\", &CLSID_classTray);
    DeleteTree(result, L"TypeLib\\", &LIBID_Zanthel, k64Bit ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
    if (!HasSubkeys(L"TypeLib\\", &LIBID_Zanthel, L"\\1.0\\0")) DeleteTree(result, L"TypeLib\\", &LIBID_Zanthel);
    if (!KeyExists(L"CLSID\\", &CLSID_classTray, nullptr, kOtherView)) {
        DeleteTree(result, L"Interface\\", &IID__classTray);
        DeleteTree(result, kProgId);
    }
    return result;
}

HRESULT WriteRegistration() noexcept
{
    Text path;
    RETURN_IF_FAILED(module::Path(path));
    const GUID* clsid = &CLSID_classTray;
    RETURN_IF_FAILED(SetValue(L"CLSID\\", clsid, nullptr, nullptr, kClassName));
    RETURN_IF_FAILED(SetValue(L"CLSID\\", clsid, L"\\InprocServer32", nullptr, path.Chars()));
    RETURN_IF_FAILED(SetValue(L"CLSID\\", clsid, L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
    RETURN_IF_FAILED(SetValue(L"CLSID\\", clsid, L"\\ProgID", nullptr, kProgId));
    RETURN_IF_FAILED(SetGuidValue(L"CLSID\\", clsid, L"\\TypeLib", LIBID_Zanthel));
    RETURN_IF_FAILED(SetValue(L"CLSID\\", clsid, L"\\VERSION", nullptr, L"1.0"));
    RETURN_IF_FAILED(SetValue(kProgId, nullptr, nullptr, nullptr, kClassName));
    RETURN_IF_FAILED(SetGuidValue(kProgId, nullptr, L"\\CLSID", CLSID_classTray));

    // Registering the library also registers its automation interface.
    Microsoft::WRL::ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(::LoadTypeLibEx(path.Chars(), REGKIND_NONE, &library));
    return ::RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(path.Chars()), nullptr);
}

// A registration that fails part way leaves nothing of itself behind.
HRESULT RegisterServer() noexcept
{
    const HRESULT hr = WriteRegistration();
    if (FAILED(hr)) UnregisterServer();
    return hr;
}

// Runs registration with HKEY_CLASSES_ROOT standing for the current user's
// classes, so every write, the type library's included, goes there.
HRESULT ForCurrentUser(HRESULT (*registration)() noexcept) noexcept
{
    UniqueKey classes;
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    classes.put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get());
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const HRESULT hr = registration();
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return hr;
}

}  // namespace
}  // namespace zanthel

STDAPI DllRegisterServer() { return zanthel::RegisterServer(); }

STDAPI DllUnregisterServer() { return zanthel::UnregisterServer(); }

// regsvr32 /n /i:user registers for the current user only; without "user"
// the registration is machine-wide.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    using namespace zanthel;
    const auto registration = install ? &RegisterServer : &UnregisterServer;
    if (!commandLine || !*commandLine) return registration();
    if (::lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
    return ForCurrentUser(registration);
}
