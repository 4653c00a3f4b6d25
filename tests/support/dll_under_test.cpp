#include "support/dll_under_test.h"

#include <gtest/gtest.h>

namespace zanthel::test {
namespace {

template <typename Function>
Function Export(HMODULE dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(dll, name)));
}

}  // namespace

HMODULE Dll()
{
    static HMODULE dll = ::LoadLibraryW(L"Zanthel.dll");
    return dll;
}

const Exports& DllExports()
{
    static const Exports exports = [] {
        HMODULE dll = Dll();
        Exports e{};
        e.DllGetClassObject = Export<decltype(e.DllGetClassObject)>(dll, "DllGetClassObject");
        e.DllCanUnloadNow = Export<decltype(e.DllCanUnloadNow)>(dll, "DllCanUnloadNow");
        e.DllRegisterServer = Export<decltype(e.DllRegisterServer)>(dll, "DllRegisterServer");
        e.DllUnregisterServer = Export<decltype(e.DllUnregisterServer)>(dll, "DllUnregisterServer");
        e.DllInstall = Export<decltype(e.DllInstall)>(dll, "DllInstall");
        return e;
    }();
    return exports;
}

std::wstring DllPath()
{
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(Dll(), path, MAX_PATH);
    return std::wstring(path, length);
}

BYTE* DllDirectory(int entry)
{
    auto* base = reinterpret_cast<BYTE*>(Dll());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    return base + nt->OptionalHeader.DataDirectory[entry].VirtualAddress;
}

namespace {

template <typename Interface>
ComPtr<Interface> NewObject(REFCLSID clsid)
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, DllExports().DllGetClassObject(clsid, IID_PPV_ARGS(&factory)));
    ComPtr<Interface> object;
    if (factory) {
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    }
    return object;
}

}  // namespace

ComPtr<_classTray> NewTray() { return NewObject<_classTray>(CLSID_classTray); }

ComPtr<INotifyIcon> NewNotifyIcon() { return NewObject<INotifyIcon>(CLSID_NotifyIcon); }

std::wstring MenuEvent(_classTray* tray)
{
    Bstr value;
    EXPECT_EQ(S_OK, tray->get_mnuEvent(&value));
    return value.str();
}

void SetMenuEvent(_classTray* tray, const std::wstring& text) { Call(tray, &_classTray::put_mnuEvent, text); }

void Call(_classTray* tray, StringMember member, const std::wstring& text)
{
    Bstr value(text);
    EXPECT_EQ(S_OK, (tray->*member)(&value));
}

}  // namespace zanthel::test
