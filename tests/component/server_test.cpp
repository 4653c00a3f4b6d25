// The four exports and the class object, driven as a COM runtime drives them;
// the VBScript client creates the registered class by its ProgID. No test here
// may create a host window: DllCanUnloadNow says S_FALSE for good once one
// exists in the process.
#include "support/dll_under_test.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>
#include <vector>

using namespace zanthel::test;

namespace {

ComPtr<IClassFactory> Factory()
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, DllExports().DllGetClassObject(CLSID_classTray, IID_PPV_ARGS(&factory)));
    return factory;
}

// Written out, so that a wrong GUID in the IDL cannot hide behind the header made from it.
const std::wstring kClass = L"{F10E18D1-7FD9-4FCB-A502-A4EBD416FEE0}";
const std::wstring kLibrary = L"{523C9B63-E39D-43F2-89E9-BC52ACAF8220}";
const std::wstring kInterface = L"{255303FC-DB0E-4A3C-A0BE-1F532BA54289}";
const std::wstring kNotifyClass = L"{32F47B91-0869-40E1-8864-78D847A3534E}";
const std::wstring kNotifyLibrary = L"{CBA33684-8FF9-404A-A932-BDBE32C1F40D}";
const std::wstring kNotifyInterface = L"{D65FDAAB-7FB0-43E4-A050-7228510BE9BB}";
const std::wstring kNotifyEvents = L"{E142EF95-8AB1-4F76-9E31-4A1E9C80CD38}";
const std::wstring kNotifyInterface2 = L"{59FF6850-4B78-4FC6-A88C-B17750321DE1}";
const std::wstring kNotifyEvents2 = L"{18C22D39-C991-4B7E-BA48-1C458FB54637}";

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    ::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

bool KeyExists(const std::wstring& path, HKEY root = HKEY_CLASSES_ROOT, REGSAM view = 0)
{
    HKEY key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

const std::wstring kPlatformKey = sizeof(void*) == 8 ? L"win64" : L"win32";
// The other architecture's registration of a class in the same tree shares its ProgIDs and type library key.
bool OtherArchitectureRegistered(HKEY root = HKEY_CLASSES_ROOT, const std::wstring& prefix = L"",
                                 const std::wstring& classKey = L"CLSID\\" + kClass)
{
    return KeyExists(prefix + classKey, root, sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
}

// Each class: its own keys, then those it shares with the other architecture.
const std::vector<std::vector<std::wstring>> kClassKeys = {
    {L"CLSID\\" + kClass, L"TypeLib\\" + kLibrary + L"\\1.0\\0\\" + kPlatformKey, L"Interface\\" + kInterface,
     L"Zanthel.classTray"},
    {L"CLSID\\" + kNotifyClass, L"TypeLib\\" + kNotifyLibrary + L"\\1.1\\0\\" + kPlatformKey,
     L"Interface\\" + kNotifyInterface, L"Interface\\" + kNotifyEvents, L"Interface\\" + kNotifyInterface2,
     L"Interface\\" + kNotifyEvents2, L"Zanthel.NotifyIcon.1", L"Zanthel.NotifyIcon"},
};

// Every key of ours, and whether it exists; the shared ones only while the
// other architecture's registration does not keep them.
std::vector<bool> OurKeys(HKEY root = HKEY_CLASSES_ROOT, const std::wstring& prefix = L"")
{
    std::vector<bool> exist;
    for (const std::vector<std::wstring>& keys : kClassKeys) {
        exist.push_back(KeyExists(prefix + keys[0], root));
        exist.push_back(KeyExists(prefix + keys[1], root));
        if (OtherArchitectureRegistered(root, prefix, keys[0])) continue;
        // The type library writes the interfaces into both registry views; the ProgIDs are looked for there too.
        for (size_t i = 2; i < keys.size(); ++i)
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                exist.push_back(KeyExists(prefix + keys[i], root, view));
    }
    return exist;
}

const auto realRegisterTypeLib = &::RegisterTypeLib;
std::wstring refusedLibrary;
HRESULT WINAPI RefuseTypeLibrary(ITypeLib* library, LPOLESTR path, LPOLESTR help)
{
    return path == refusedLibrary ? TYPE_E_REGISTRYACCESS : realRegisterTypeLib(library, path, help);
}

// What the per-user registration does, in order, with OaEnablePerUserTLibRegistration
// absent (as in Wine 8 and before Vista SP1) or handed over as a recorder.
std::vector<std::wstring> steps;
bool offerEnable = false;
const std::wstring kUserLibrary = L"Software\\Classes\\TypeLib\\" + kLibrary + L"\\1.0\\0\\" + kPlatformKey;
void WINAPI NoteEnable()
{
    steps.push_back(KeyExists(kUserLibrary, HKEY_CURRENT_USER) ? L"enable, library registered" : L"enable");
}
const auto realGetProcAddress = &::GetProcAddress;
FARPROC WINAPI OfferEnable(HMODULE module, LPCSTR name)
{
    if (IS_INTRESOURCE(name) || ::lstrcmpA(name, "OaEnablePerUserTLibRegistration") != 0)
        return realGetProcAddress(module, name);
    return offerEnable ? reinterpret_cast<FARPROC>(&NoteEnable) : nullptr;
}
HRESULT WINAPI NoteRegisterTypeLib(ITypeLib* library, LPOLESTR path, LPOLESTR help)
{
    steps.push_back(L"RegisterTypeLib");
    return realRegisterTypeLib(library, path, help);
}

// The root key each spied registry call of the DLL names.
std::vector<HKEY> roots;
template <typename Function>
struct RootSpy;
template <typename... Args>
struct RootSpy<LONG(WINAPI*)(HKEY, Args...)> {
    template <LONG(WINAPI** Real)(HKEY, Args...)>
    static LONG WINAPI Note(HKEY root, Args... args)
    {
        roots.push_back(root);
        return (*Real)(root, args...);
    }
};
template <auto Real>
auto Watch()
{
    return ImportSpy(Dll(), *Real, &RootSpy<std::remove_pointer_t<decltype(Real)>>::template Note<Real>);
}
// The calls the DLL makes that name a root key.
auto realCreateKey = SystemFunction<decltype(::RegCreateKeyExW)>(L"advapi32.dll", "RegCreateKeyExW");
auto realOpenKey = SystemFunction<decltype(::RegOpenKeyExW)>(L"advapi32.dll", "RegOpenKeyExW");
auto realDeleteKey = SystemFunction<decltype(::RegDeleteKeyExW)>(L"advapi32.dll", "RegDeleteKeyExW");

}  // namespace

TEST(ClassObject, MakesNewDualObjectsAndRefusesTheRestLeavingNoObject)
{
    EXPECT_EQ(E_POINTER, DllExports().DllGetClassObject(CLSID_classTray, IID_IClassFactory, nullptr));
    {
        ComPtr<IClassFactory> factory = Factory();
        ASSERT_TRUE(factory);
        void* out[4] = {&out, &out, &out, &out};
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
                  DllExports().DllGetClassObject(IID__classTray, IID_IClassFactory, &out[0]));
        EXPECT_EQ(E_NOINTERFACE, DllExports().DllGetClassObject(CLSID_classTray, IID_IDispatch, &out[1]));
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IUnknown, &out[2]));
        EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out[3]));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(nullptr, out[i]) << i;

        ComPtr<IUnknown> first, second, unknown;
        ComPtr<IDispatch> dispatch;
        ComPtr<_classTray> tray;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&first)));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&second)));
        EXPECT_NE(first.Get(), second.Get());
        ASSERT_EQ(S_OK, first.As(&unknown));
        ASSERT_EQ(S_OK, first.As(&dispatch));
        ASSERT_EQ(S_OK, first.As(&tray));
        EXPECT_EQ(first.Get(), unknown.Get());
        EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(tray.Get()));
    }
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());  // the refusals left no object behind
}

TEST(Exports, UnloadOnlyWithNoObjectAndNoLock)
{
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());
    {
        ComPtr<_classTray> tray = NewTray();
        ASSERT_TRUE(tray);
        EXPECT_EQ(S_FALSE, DllExports().DllCanUnloadNow());
    }
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, DllExports().DllCanUnloadNow());
    ASSERT_EQ(S_OK, Factory()->LockServer(FALSE));
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());
}

TEST(Exports, NamedAndNumberedAsHostsExpect)
{
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer",
                           "DllInstall"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        EXPECT_TRUE(::GetProcAddress(Dll(), names[ordinal - 1]));
        EXPECT_EQ(::GetProcAddress(Dll(), names[ordinal - 1]), ::GetProcAddress(Dll(), MAKEINTRESOURCEA(ordinal)));
    }
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(DllDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT));
    EXPECT_STREQ("Zanthel.dll", reinterpret_cast<const char*>(Dll()) + exports->Name);
    EXPECT_EQ(5u, exports->NumberOfNames);
}

TEST(Exports, UnbalancedUnlockDoesNotMakeUnloadLie)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, DllExports().DllCanUnloadNow()) << "a lock is held";
    ASSERT_EQ(S_OK, Factory()->LockServer(FALSE));
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());
}

TEST(Registration, WritesWhatClientsNeedAndUnregisterRemovesIt)
{
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());  // a second run must leave the same entries
    const std::wstring server = L"CLSID\\" + kClass + L"\\InprocServer32", iface = L"Interface\\" + kInterface;
    const std::wstring notify = L"CLSID\\" + kNotifyClass, notifyServer = notify + L"\\InprocServer32";
    const std::wstring marshaler = L"{00020424-0000-0000-C000-000000000046}";
    const std::tuple<std::wstring, const wchar_t*, std::wstring> values[] = {
        {server, nullptr, DllPath()},
        {server, L"ThreadingModel", L"Apartment"},
        {L"Zanthel.classTray\\CLSID", nullptr, kClass},
        {L"TypeLib\\" + kLibrary + (sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32"), nullptr, DllPath()},
        {iface + L"\\TypeLib", nullptr, kLibrary},
        // Automation interfaces are marshalled by the system's type-library marshaler.
        {iface + L"\\ProxyStubClsid32", nullptr, marshaler},
        {notifyServer, nullptr, DllPath()},
        {notifyServer, L"ThreadingModel", L"Apartment"},
        {notify + L"\\ProgID", nullptr, L"Zanthel.NotifyIcon.1"},
        {notify + L"\\VersionIndependentProgID", nullptr, L"Zanthel.NotifyIcon"},
        {notify + L"\\TypeLib", nullptr, kNotifyLibrary},
        {notify + L"\\VERSION", nullptr, L"1.1"},
        {L"Zanthel.NotifyIcon.1\\CLSID", nullptr, kNotifyClass},
        {L"Zanthel.NotifyIcon\\CLSID", nullptr, kNotifyClass},
        {L"Zanthel.NotifyIcon\\CurVer", nullptr, L"Zanthel.NotifyIcon.1"},
        // The second type library resource of the DLL.
        {L"TypeLib\\" + kNotifyLibrary + L"\\1.1\\0\\" + kPlatformKey, nullptr, DllPath() + L"\\2"},
        {L"Interface\\" + kNotifyInterface + L"\\TypeLib", nullptr, kNotifyLibrary},
        {L"Interface\\" + kNotifyInterface + L"\\ProxyStubClsid32", nullptr, marshaler},
        {L"Interface\\" + kNotifyEvents + L"\\TypeLib", nullptr, kNotifyLibrary},
        {L"Interface\\" + kNotifyInterface2 + L"\\TypeLib", nullptr, kNotifyLibrary},
        {L"Interface\\" + kNotifyInterface2 + L"\\ProxyStubClsid32", nullptr, marshaler},
        {L"Interface\\" + kNotifyEvents2 + L"\\TypeLib", nullptr, kNotifyLibrary},
    };
    for (const auto& [key, name, expected] : values) EXPECT_EQ(expected, Value(key, name)) << key;

    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    EXPECT_EQ(std::vector<bool>(OurKeys().size(), false), OurKeys());
    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());  // leave the DLL registered for the other tests
}

// A host built against 1.0 asks for 1.0 and must find 1.1, not a key left
// by an earlier registration.
TEST(Registration, TheNotifyLibraryReplacesVersion10ThatHostsAskingFor10FindIt)
{
    const std::wstring versions = L"Software\\Classes\\TypeLib\\" + kNotifyLibrary;
    auto leaveVersion10 = [&] {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (versions + L"\\1.0\\0\\" + kPlatformKey).c_str(), 0, nullptr,
                                    0, KEY_SET_VALUE, nullptr, &key, nullptr));
        const wchar_t gone[] = L"C:\\gone\\Zanthel.dll\\2";
        ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(gone), sizeof gone);
        ::RegCloseKey(key);
    };
    leaveVersion10();
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    EXPECT_FALSE(KeyExists(versions + L"\\1.0", HKEY_LOCAL_MACHINE));
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadRegTypeLib(LIBID_ZanthelNotify, 1, 0, 0, &library));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ((std::pair<WORD, WORD>{1, 1}), std::make_pair(attr->wMajorVerNum, attr->wMinorVerNum));
    library->ReleaseTLibAttr(attr);

    leaveVersion10();
    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    EXPECT_FALSE(KeyExists(versions + L"\\1.0", HKEY_LOCAL_MACHINE));
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
}

TEST(Registration, RefusedWriteFails)
{
    // Wine lets a read-only handle create subkeys, but no system writes under
    // a deleted key.
    HKEY readOnly = nullptr;
    const wchar_t* scratch = L"Software\\ZanthelTestRefusing";
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CURRENT_USER, scratch, 0, nullptr, 0, KEY_READ, nullptr, &readOnly, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyW(HKEY_CURRENT_USER, scratch));
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE})
        ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(root, readOnly));
    const HRESULT hr = DllExports().DllRegisterServer();
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE}) ::RegOverridePredefKey(root, nullptr);
    ::RegCloseKey(readOnly);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
}

TEST(Registration, AllOrNothing)
{
    // Either refused type library takes every key written, both classes', away again.
    ASSERT_EQ(S_OK, DllExports().DllUnregisterServer());
    {
        ImportSpy refuse(Dll(), realRegisterTypeLib, &RefuseTypeLibrary);
        for (const std::wstring& library : {DllPath(), DllPath() + L"\\2"}) {
            refusedLibrary = library;
            EXPECT_EQ(TYPE_E_REGISTRYACCESS, DllExports().DllRegisterServer());
            EXPECT_EQ(std::vector<bool>(OurKeys().size(), false), OurKeys()) << library;
        }
    }

    // Unregistering removes what is there, whatever is missing.
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    for (const std::wstring& library : {kLibrary, kNotifyLibrary})
        ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + library).c_str()));
    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    EXPECT_EQ(std::vector<bool>(OurKeys().size(), false), OurKeys());
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
}

// regsvr32 /n /i:user: the machine-wide tree, under the user's own classes.
TEST(Registration, ForTheCurrentUserOnly)
{
    ASSERT_EQ(S_OK, DllExports().DllUnregisterServer());
    const bool otherMachineWide = OtherArchitectureRegistered();
    const std::wstring user = L"Software\\Classes\\";
    ASSERT_EQ(S_OK, DllExports().DllInstall(TRUE, L"user"));
    EXPECT_EQ(std::vector<bool>(OurKeys(HKEY_CURRENT_USER, user).size(), true), OurKeys(HKEY_CURRENT_USER, user));
    for (const std::wstring& clsid : {kClass, kNotifyClass})
        EXPECT_FALSE(KeyExists(L"Software\\Classes\\CLSID\\" + clsid, HKEY_LOCAL_MACHINE)) << "nothing machine-wide";
    EXPECT_EQ(otherMachineWide, OtherArchitectureRegistered());
    const std::wstring server = user + L"CLSID\\" + kClass + L"\\InprocServer32";
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    ::RegGetValueW(HKEY_CURRENT_USER, server.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
    EXPECT_EQ(DllPath(), path);

    EXPECT_EQ(E_INVALIDARG, DllExports().DllInstall(TRUE, L"everyone"));
    EXPECT_EQ(S_OK, DllExports().DllInstall(FALSE, L"user"));
    EXPECT_EQ(std::vector<bool>(OurKeys(HKEY_CURRENT_USER, user).size(), false), OurKeys(HKEY_CURRENT_USER, user));
    ASSERT_EQ(S_OK, DllExports().DllInstall(TRUE, nullptr));  // machine-wide, for the other tests
    EXPECT_TRUE(KeyExists(L"CLSID\\" + kClass));
}

// Since Vista SP1 RegisterTypeLib follows the user's mapping of
// HKEY_CLASSES_ROOT only once the process has asked for it.
TEST(Registration, PerUserLetsTheTypeLibraryFollowTheUserMapping)
{
    steps.clear();
    offerEnable = false;
    {
        ImportSpy lookUp(Dll(), realGetProcAddress, &OfferEnable);
        ImportSpy registerLibrary(Dll(), realRegisterTypeLib, &NoteRegisterTypeLib);
        EXPECT_EQ(S_OK, DllExports().DllInstall(TRUE, L"user"));
        EXPECT_EQ(S_OK, DllExports().DllInstall(FALSE, L"user"));
        offerEnable = true;
        EXPECT_EQ(S_OK, DllExports().DllInstall(TRUE, L"user"));
        EXPECT_EQ(S_OK, DllExports().DllInstall(FALSE, L"user"));
    }
    const std::vector<std::wstring> expected = {L"RegisterTypeLib", L"RegisterTypeLib", L"enable",
                                                L"RegisterTypeLib", L"RegisterTypeLib", L"enable, library registered"};
    EXPECT_EQ(expected, steps);
    EXPECT_FALSE(KeyExists(kUserLibrary, HKEY_CURRENT_USER));
}

// Windows stores a value written through HKEY_CLASSES_ROOT in the user's
// classes whenever the user has that key.
TEST(Registration, MachineWideNeverGoesThroughClassesRoot)
{
    {
        const auto createKey = Watch<&realCreateKey>();
        const auto openKey = Watch<&realOpenKey>();
        const auto deleteKey = Watch<&realDeleteKey>();
        roots.clear();
        EXPECT_EQ(S_OK, DllExports().DllRegisterServer());
        EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    }
    EXPECT_FALSE(roots.empty());
    EXPECT_EQ(0, std::count(roots.begin(), roots.end(), HKEY_CLASSES_ROOT));
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
}
