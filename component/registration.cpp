// Self-registration: both classes, their ProgIDs, type libraries and
// interfaces, machine-wide or for the current user, all or nothing.
#include "common/errors.h"
#include "common/handles.h"
#include "common/module.h"
#include "component/interface.h"
#include "component/notify_interface.h"

#include <wrl/client.h>

namespace zanthel {
namespace {

struct ServerClass {
    const CLSID* clsid;
    const wchar_t* name;
    const wchar_t* progId;
    // Null when the ProgID carries no version.
    const wchar_t* versionIndependentProgId;
    const GUID* library;
    // The library's version, and its language-neutral key below the library's.
    const wchar_t* version;
    const wchar_t* versionKey;
    // The key of the version this one replaced, which registering removes; null when none.
    const wchar_t* replacedVersionKey;
    // Appended to the DLL's path for a type library resource other than the first.
    const wchar_t* libraryResource;
    const IID* interfaces[4];
};

constexpr ServerClass kClasses[] = {
    {&CLSID_classTray,
     L"classTray",
     L"Zanthel.classTray",
     nullptr,
     &LIBID_Zanthel,
     L"1.0",
     L"\\1.0\\0",
     nullptr,
     L"",
     {&IID__classTray}},
    {&CLSID_NotifyIcon,
     L"NotifyIcon",
     L"Zanthel.NotifyIcon.1",
     L"Zanthel.NotifyIcon",
     &LIBID_ZanthelNotify,
     L"1.1",
     L"\\1.1\\0",
     L"\\1.0",
     L"\\2",
     {&IID_INotifyIcon, &DIID_DNotifyIconEvents, &IID_INotifyIcon2, &DIID_DNotifyIconEvents2}},
};

constexpr bool k64Bit = sizeof(void*) == 8;
// The other architecture's registry view, which may hold its own class key.
constexpr REGSAM kOtherView = k64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// The keys live under Software\Classes of HKEY_LOCAL_MACHINE (machine-wide)
// or HKEY_CURRENT_USER, never under HKEY_CLASSES_ROOT: Windows writes a value
// there into the user's classes whenever the user has that key.
HRESULT KeyPath(Text& path, const wchar_t* prefix, const GUID* guid = nullptr, const wchar_t* suffix = nullptr)
{
    RETURN_IF_FAILED(path.Assign(L"Software\\Classes\\"));
    RETURN_IF_FAILED(path.Append(prefix));
    if (guid) {
        wchar_t text[39];
        ::StringFromGUID2(*guid, text, 39);
        RETURN_IF_FAILED(path.Append(text));
    }
    return path.Append(suffix);
}

HRESULT SetValue(HKEY root, const wchar_t* prefix, const GUID* guid, const wchar_t* suffix, const wchar_t* name,
                 const wchar_t* value)
{
    Text path;
    RETURN_IF_FAILED(KeyPath(path, prefix, guid, suffix));
    UniqueKey key;
    LONG status = ::RegCreateKeyExW(root, path.Chars(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t)));
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT SetGuidValue(HKEY root, const wchar_t* prefix, const GUID* guid, const wchar_t* suffix, const GUID& value)
{
    wchar_t text[39];
    ::StringFromGUID2(value, text, 39);
    return SetValue(root, prefix, guid, suffix, nullptr, text);
}

bool OpenKey(UniqueKey& key, HKEY root, REGSAM access, const wchar_t* prefix, const GUID* guid,
             const wchar_t* suffix = nullptr)
{
    Text path;
    return SUCCEEDED(KeyPath(path, prefix, guid, suffix)) &&
           ::RegOpenKeyExW(root, path.Chars(), 0, access, key.put()) == ERROR_SUCCESS;
}

bool HasSubkeys(HKEY root, const wchar_t* prefix, const GUID* guid, const wchar_t* suffix)
{
    UniqueKey key;
    if (!OpenKey(key, root, KEY_READ, prefix, guid, suffix)) return false;
    DWORD subkeys = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    return subkeys > 0;
}

// Deletes a key and everything below it in one registry view. Not
// RegDeleteTreeW: from a 32-bit process Wine's leaves the 64-bit view's key.
LONG DeleteKey(HKEY parent, const wchar_t* name, REGSAM view)
{
    UniqueKey key;
    LONG status = ::RegOpenKeyExW(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | view, key.put());
    // The first subkey again and again, as each one goes; 255 characters at most.
    wchar_t subkey[256];
    for (DWORD length = 256; status == ERROR_SUCCESS; length = 256) {
        status = ::RegEnumKeyExW(key.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) status = DeleteKey(key.get(), subkey, view);
    }
    return status == ERROR_NO_MORE_ITEMS ? ::RegDeleteKeyExW(parent, name, view, 0) : status;
}

// A missing key is no failure, and the first failure is kept.
void DeleteTree(HRESULT& result, HKEY root, REGSAM view, const wchar_t* prefix, const GUID* guid = nullptr,
                const wchar_t* suffix = nullptr, const wchar_t* more = nullptr)
{
    Text path;
    HRESULT hr = KeyPath(path, prefix, guid, suffix);
    if (SUCCEEDED(hr)) hr = path.Append(more);
    if (SUCCEEDED(hr)) {
        const LONG status = DeleteKey(root, path.Chars(), view);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) hr = HRESULT_FROM_WIN32(status);
    }
    if (SUCCEEDED(result)) result = hr;
}

// The replaced version's type library key, which hosts asking for that
// version would otherwise find instead of the current one.
void RemoveReplacedVersion(HRESULT& result, HKEY root, const ServerClass& server) noexcept
{
    if (server.replacedVersionKey) DeleteTree(result, root, 0, L"TypeLib\\", server.library, server.replacedVersionKey);
}

// Removes every key of the class that exists, whatever else is missing.
// Its ProgIDs, interfaces and type library key are shared with the other
// architecture's registration of it in the same tree, which keeps them while
// it exists.
void UnregisterClass(HRESULT& result, HKEY root, const ServerClass& server) noexcept
{
    DeleteTree(result, root, 0, L"CLSID\\", server.clsid);
    DeleteTree(result, root, 0, L"TypeLib\\", server.library, server.versionKey, k64Bit ? L"\\win64" : L"\\win32");
    RemoveReplacedVersion(result, root, server);
    if (!HasSubkeys(root, L"TypeLib\\", server.library, server.versionKey))
        DeleteTree(result, root, 0, L"TypeLib\\", server.library);
    UniqueKey otherClass;
    if (OpenKey(otherClass, root, KEY_READ | kOtherView, L"CLSID\\", server.clsid)) return;
    // Registering the type library put the interfaces into both views.
    for (const IID* iid : server.interfaces) {
        if (!iid) continue;
        DeleteTree(result, root, KEY_WOW64_32KEY, L"Interface\\", iid);
        DeleteTree(result, root, KEY_WOW64_64KEY, L"Interface\\", iid);
    }
    DeleteTree(result, root, 0, server.progId);
    if (server.versionIndependentProgId) DeleteTree(result, root, 0, server.versionIndependentProgId);
}

HRESULT UnregisterServer(HKEY root) noexcept
{
    HRESULT result = S_OK;
    for (const ServerClass& server : kClasses) UnregisterClass(result, root, server);
    return result;
}

HRESULT WriteProgId(HKEY root, const wchar_t* progId, const ServerClass& server) noexcept
{
    RETURN_IF_FAILED(SetValue(root, progId, nullptr, nullptr, nullptr, server.name));
    return SetGuidValue(root, progId, nullptr, L"\\CLSID", *server.clsid);
}

HRESULT WriteClass(HKEY root, const Text& path, const ServerClass& server) noexcept
{
    const GUID* clsid = server.clsid;
    RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, nullptr, nullptr, server.name));
    RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, L"\\InprocServer32", nullptr, path.Chars()));
    RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
    RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, L"\\ProgID", nullptr, server.progId));
    RETURN_IF_FAILED(SetGuidValue(root, L"CLSID\\", clsid, L"\\TypeLib", *server.library));
    RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, L"\\VERSION", nullptr, server.version));
    RETURN_IF_FAILED(WriteProgId(root, server.progId, server));
    if (const wchar_t* current = server.versionIndependentProgId) {
        RETURN_IF_FAILED(SetValue(root, L"CLSID\\", clsid, L"\\VersionIndependentProgID", nullptr, current));
        RETURN_IF_FAILED(WriteProgId(root, current, server));
        RETURN_IF_FAILED(SetValue(root, current, nullptr, L"\\CurVer", nullptr, server.progId));
    }

    // Registering the library also registers its automation interfaces. It
    // writes through HKEY_CLASSES_ROOT, which the per-user path maps.
    Text library;
    RETURN_IF_FAILED(library.Assign(path));
    RETURN_IF_FAILED(library.Append(server.libraryResource));
    Microsoft::WRL::ComPtr<ITypeLib> types;
    RETURN_IF_FAILED(::LoadTypeLibEx(library.Chars(), REGKIND_NONE, &types));
    RETURN_IF_FAILED(::RegisterTypeLib(types.Get(), const_cast<LPOLESTR>(library.Chars()), nullptr));
    HRESULT result = S_OK;
    RemoveReplacedVersion(result, root, server);
    return result;
}

HRESULT WriteRegistration(HKEY root) noexcept
{
    Text path;
    RETURN_IF_FAILED(module::Path(path));
    for (const ServerClass& server : kClasses) RETURN_IF_FAILED(WriteClass(root, path, server));
    return S_OK;
}

// A registration that fails part way leaves nothing of itself behind.
HRESULT RegisterServer(HKEY root) noexcept
{
    const HRESULT hr = WriteRegistration(root);
    if (FAILED(hr)) UnregisterServer(root);
    return hr;
}

// Since Vista SP1 RegisterTypeLib ignores the mapping of HKEY_CLASSES_ROOT
// unless the process asks for it first; older systems and Wine 8 lack the call.
void LetTypeLibraryFollowMapping()
{
    using Enable = void(WINAPI*)();
    if (const HMODULE automation = ::GetModuleHandleW(L"oleaut32.dll")) {
        const auto enable = reinterpret_cast<Enable>(
            reinterpret_cast<void*>(::GetProcAddress(automation, "OaEnablePerUserTLibRegistration")));
        if (enable) enable();
    }
}

// Runs registration in the current user's classes, with HKEY_CLASSES_ROOT
// standing for them so that the type library's keys go there too.
HRESULT ForCurrentUser(HRESULT (*registration)(HKEY) noexcept) noexcept
{
    UniqueKey classes;
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    classes.put(), nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    LetTypeLibraryFollowMapping();
    status = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get());
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const HRESULT hr = registration(HKEY_CURRENT_USER);
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return hr;
}

}  // namespace
}  // namespace zanthel

STDAPI DllRegisterServer() { return zanthel::RegisterServer(HKEY_LOCAL_MACHINE); }

STDAPI DllUnregisterServer() { return zanthel::UnregisterServer(HKEY_LOCAL_MACHINE); }

// regsvr32 /n /i:user registers for the current user only; without "user"
// the registration is machine-wide.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    using namespace zanthel;
    const auto registration = install ? &RegisterServer : &UnregisterServer;
    if (!commandLine || !*commandLine) return registration(HKEY_LOCAL_MACHINE);
    if (::lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
    return ForCurrentUser(registration);
}
