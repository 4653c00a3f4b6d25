// Zanthel.dll loaded the way a host's COM runtime loads it, through its
// real exports.
#pragma once

#include "component/interface.h"
#include "component/notify_interface.h"

#include <string>
#include <wrl/client.h>

namespace zanthel::test {

using Microsoft::WRL::ComPtr;

struct Exports {
    HRESULT(WINAPI* DllGetClassObject)(REFCLSID, REFIID, void**);
    HRESULT(WINAPI* DllCanUnloadNow)();
    HRESULT(WINAPI* DllRegisterServer)();
    HRESULT(WINAPI* DllUnregisterServer)();
    HRESULT(WINAPI* DllInstall)(BOOL, LPCWSTR);
};

// The DLL, loaded once for the whole test program.
HMODULE Dll();
const Exports& DllExports();
std::wstring DllPath();
// Where one of the DLL's data directories (IMAGE_DIRECTORY_ENTRY_*) lies once loaded.
BYTE* DllDirectory(int entry);

// A new classTray or NotifyIcon through the class object, as CoCreateInstance would make it.
ComPtr<_classTray> NewTray();
ComPtr<INotifyIcon> NewNotifyIcon();

// An automation string that frees itself.
class Bstr {
public:
    Bstr() = default;
    Bstr(const wchar_t* text) : value_(::SysAllocString(text)) {}
    Bstr(const std::wstring& text) : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(value_); }

    BSTR* operator&() { return &value_; }
    BSTR get() const { return value_; }
    std::wstring str() const { return value_ ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

// Property reads through the virtual table.
std::wstring MenuEvent(_classTray* tray);
void SetMenuEvent(_classTray* tray, const std::wstring& text);

// Calls a member that takes one string, expecting success.
using StringMember = HRESULT (STDMETHODCALLTYPE _classTray::*)(BSTR*);
void Call(_classTray* tray, StringMember member, const std::wstring& text);

}  // namespace zanthel::test
