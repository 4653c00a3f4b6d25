// Zanthel from C++ with early binding: the declarations come from the header
// generated from its interface definition (include/Zanthel_h.h, with its GUIDs in
// include/Zanthel_i.c), and calls go straight through the _classTray vtable.
// Zanthel.dll must be registered (regsvr32 Zanthel.dll).
//
//   early_bound [seconds]      (default 1)
//
// Every string parameter is a BSTR* [in, out]: the caller allocates the BSTR,
// passes its address and frees it afterwards. A BSTR read from a property
// belongs to the caller too.
#include <windows.h>
// winuser.h's AppendMenu macro would rename the interface's member of that name.
#undef AppendMenu
#include "Zanthel_h.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

bool Succeeded(HRESULT hr, const char* what)
{
    std::printf("%-34s 0x%08lX\n", what, static_cast<unsigned long>(hr));
    std::fflush(stdout);
    return SUCCEEDED(hr);
}

// Calls a setter or method that takes one string, as the interface declares it.
HRESULT WithText(_classTray* tray, HRESULT (STDMETHODCALLTYPE _classTray::*member)(BSTR*), const wchar_t* text)
{
    BSTR value = ::SysAllocString(text);
    const HRESULT hr = (tray->*member)(&value);
    ::SysFreeString(value);
    return hr;
}

// Dispatches this thread's window messages for a while: the icon's clicks
// and its menu reach the component only through them.
void PumpMessages(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    for (DWORD spent = 0; spent < milliseconds; spent = ::GetTickCount() - start) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool Run(_classTray* tray, int seconds)
{
    if (!Succeeded(WithText(tray, &_classTray::put_ToolTipName, L"Zanthel early-bound example"), "put_ToolTipName"))
        return false;
    BSTR tip = nullptr;
    if (!Succeeded(tray->get_ToolTipName(&tip), "get_ToolTipName")) return false;
    const bool tipKept = tip && !std::wcscmp(tip, L"Zanthel early-bound example");
    ::SysFreeString(tip);
    if (!tipKept) {
        std::printf("ToolTipName did not read back\n");
        return false;
    }
    // "Show" renames the built-in first item; "-" is a separator (71); "Exit" is 72.
    const wchar_t* const captions[] = {L"Show", L"-", L"Exit"};
    for (const wchar_t* caption : captions)
        if (!Succeeded(WithText(tray, &_classTray::AppendMenu, caption), "AppendMenu")) return false;
    if (!Succeeded(tray->LoadTray(), "LoadTray")) return false;

    // Poll and clear, as a host's loop does; "Exit,72" ends it early.
    bool ok = true, done = false;
    for (int poll = 0; ok && !done && poll < seconds * 10; ++poll) {
        PumpMessages(100);
        BSTR event = nullptr;
        ok = SUCCEEDED(tray->get_mnuEvent(&event));
        if (ok && event && *event) {
            std::printf("mnuEvent: %ls\n", event);
            done = !std::wcscmp(event, L"Exit,72");
            ok = Succeeded(WithText(tray, &_classTray::put_mnuEvent, L""), "put_mnuEvent \"\"");
        }
        ::SysFreeString(event);
    }
    if (!Succeeded(ok ? S_OK : E_FAIL, "polling get_mnuEvent")) return false;
    return Succeeded(tray->UnLoadTray(), "UnLoadTray");
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 1;
    // A single-threaded apartment, like LabVIEW's user-interface thread.
    if (!Succeeded(::CoInitialize(nullptr), "CoInitialize")) return 1;
    _classTray* tray = nullptr;
    bool ok = Succeeded(::CoCreateInstance(CLSID_classTray, nullptr, CLSCTX_INPROC_SERVER, IID__classTray,
                                           reinterpret_cast<void**>(&tray)),
                        "CoCreateInstance(CLSID_classTray)");
    if (ok) {
        ok = Run(tray, seconds);
        tray->Release();
    }
    ::CoUninitialize();
    std::printf("%s\n", ok ? "Done" : "Failed");
    return ok ? 0 : 1;
}
