// Long-running hosts free unused libraries and load them again: a copy of
// the DLL under a name of its own goes through that cycle here, apart from
// the copy the other tests keep loaded.
#include "support/dll_under_test.h"

#include <gtest/gtest.h>

using namespace zanthel::test;

TEST(Unloading, ThousandsOfLoadUseUnloadCyclesLoseNothingThatTheLastOneNeeds)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"ZanthelUnloadCycles.dll";
    ASSERT_TRUE(::CopyFileW(DllPath().c_str(), copy.c_str(), FALSE));
    for (int cycle = 0; cycle < 2000; ++cycle) {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HMODULE dll = ::LoadLibraryW(copy.c_str());
        ASSERT_TRUE(dll) << cycle;
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto getClassObject =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
        HRESULT hr = E_FAIL;
        {
            ComPtr<IClassFactory> factory;
            ComPtr<_classTray> tray;
            if (SUCCEEDED(getClassObject(CLSID_classTray, IID_PPV_ARGS(&factory))))
                factory->CreateInstance(nullptr, IID_PPV_ARGS(&tray));
            // A member that needs the apartment's state.
            Bstr event(L"cycle");
            if (tray) hr = tray->put_mnuEvent(&event);
        }
        ::CoUninitialize();
        ::FreeLibrary(dll);
        ASSERT_EQ(S_OK, hr) << "cycle " << cycle;
        ASSERT_EQ(nullptr, ::GetModuleHandleW(copy.c_str())) << "the copy stayed loaded";
    }
    ::DeleteFileW(copy.c_str());
}
