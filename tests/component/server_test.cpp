// The four exports and the class object, driven as a COM runtime drives them.
// No test here may create a host window: DllCanUnloadNow says S_FALSE for good
// once one exists in the process.
#include "support/dll_under_test.h"
#include "support/host.h"

#include <gtest/gtest.h>

using namespace zanthel::test;

namespace {

ComPtr<IClassFactory> Factory()
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, DllExports().DllGetClassObject(CLSID_classTray, IID_PPV_ARGS(&factory)));
    return factory;
}

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[39];
    ::StringFromGUID2(guid, text, 39);
    return text;
}

const std::wstring kClassKey = L"CLSID\\" + GuidText(CLSID_classTray);
const std::wstring kLibraryKey = L"TypeLib\\" + GuidText(LIBID_Zanthel);
const std::wstring kInterfaceKey = L"Interface\\" + GuidText(IID__classTray);

// Every key and value under HKCR\path, as text; empty when the key is absent.
std::wstring Dump(const std::wstring& path)
{
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::wstring out = L"[" + path + L"]\n";
    wchar_t name[256];
    BYTE data[1024];
    for (DWORD i = 0, nameLength = 256, size = sizeof data, type;
         ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++i, nameLength = 256, size = sizeof data) {
        out += std::wstring(name) + L"=" + std::wstring(reinterpret_cast<wchar_t*>(data), size / 2) + L"\n";
    }
    for (DWORD i = 0, nameLength = 256;
         ::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, nameLength = 256) {
        out += Dump(path + L"\\" + name);
    }
    ::RegCloseKey(key);
    return out;
}

std::wstring DefaultValue(const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    ::RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

}  // namespace

TEST(ClassObject, RefusesWhatItDoesNotServe)
{
    void* out = &out;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllExports().DllGetClassObject(IID__classTray, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, DllExports().DllGetClassObject(CLSID_classTray, IID_IClassFactory, nullptr));
    out = &out;
    EXPECT_EQ(E_NOINTERFACE, DllExports().DllGetClassObject(CLSID_classTray, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);

    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> outer = factory;
    out = &out;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    out = &out;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    factory.Reset();
    outer.Reset();
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());  // no object left behind by a refusal
}

TEST(ClassObject, EachInstanceIsNewAndAnswersAsOneDualInterface)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&first)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&second)));
    EXPECT_NE(first.Get(), second.Get());
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<_classTray> tray;
    ASSERT_EQ(S_OK, first.As(&unknown));
    ASSERT_EQ(S_OK, first.As(&dispatch));
    ASSERT_EQ(S_OK, first.As(&tray));
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(tray.Get()));
    EXPECT_EQ(first.Get(), unknown.Get());
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
    {
        ComPtr<IClassFactory> factory = Factory();
        ASSERT_TRUE(factory);
        ASSERT_EQ(S_OK, factory->LockServer(TRUE));
        factory.Reset();
        EXPECT_EQ(S_FALSE, DllExports().DllCanUnloadNow());
        ASSERT_EQ(S_OK, Factory()->LockServer(FALSE));
    }
    EXPECT_EQ(S_OK, DllExports().DllCanUnloadNow());
}

TEST(Exports, NamedAndNumberedAsHostsExpect)
{
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"};
    for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
        EXPECT_TRUE(::GetProcAddress(Dll(), names[ordinal - 1]));
        EXPECT_EQ(::GetProcAddress(Dll(), names[ordinal - 1]), ::GetProcAddress(Dll(), MAKEINTRESOURCEA(ordinal)));
    }
    const auto* base = reinterpret_cast<const BYTE*>(Dll());
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    EXPECT_STREQ("Zanthel.dll", reinterpret_cast<const char*>(base + exports->Name));
    EXPECT_EQ(4u, exports->NumberOfNames);
}

TEST(Registration, WritesClassProgIdLibraryAndInterface)
{
    ComApartment apartment;
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    EXPECT_EQ(DllPath(), DefaultValue(kClassKey + L"\\InprocServer32"));
    EXPECT_EQ(L"Apartment", DefaultValue(kClassKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(GuidText(CLSID_classTray), DefaultValue(L"Zanthel.classTray\\CLSID"));
    EXPECT_EQ(DllPath(), DefaultValue(kLibraryKey + L"\\1.0\\0\\win32"));
    EXPECT_EQ(GuidText(LIBID_Zanthel), DefaultValue(kInterfaceKey + L"\\TypeLib"));
    // Automation interfaces are marshalled by the system's type-library marshaler.
    EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}", DefaultValue(kInterfaceKey + L"\\ProxyStubClsid32"));

    CLSID clsid{};
    EXPECT_EQ(S_OK, ::CLSIDFromProgID(L"Zanthel.classTray", &clsid));
    EXPECT_EQ(CLSID_classTray, clsid);
    ComPtr<_classTray> tray;
    EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_classTray, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tray)));
}

TEST(Registration, TwiceLeavesWhatOnceLeavesAndUnregisterRemovesIt)
{
    const std::wstring keys[] = {kClassKey, L"Zanthel.classTray", kLibraryKey, kInterfaceKey};
    auto dumpAll = [&] {
        std::wstring all;
        for (const auto& key : keys) all += Dump(key);
        return all;
    };
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    const std::wstring once = dumpAll();
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());
    EXPECT_EQ(once, dumpAll());

    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    for (const auto& key : keys) EXPECT_EQ(L"", Dump(key));
    EXPECT_EQ(S_OK, DllExports().DllUnregisterServer());
    ASSERT_EQ(S_OK, DllExports().DllRegisterServer());  // leave the DLL registered for the other tests
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
    ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_CLASSES_ROOT, readOnly));
    const HRESULT hr = DllExports().DllRegisterServer();
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    ::RegCloseKey(readOnly);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
}
