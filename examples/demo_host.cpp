// A late-bound host for Zanthel, written the way a LabVIEW program uses it:
// names are looked up at run time through IDispatch, the thread keeps
// dispatching window messages, and mnuEvent is polled and cleared.
//
//   demo_host [--seconds N] [--exits N] [--linger N] [--menu 0|1]
//
// Prints one line per event ("mnuEvent: Exit,72") and removes the icon after
// the N-th "Exit" choice (default 1) or after N seconds (default 60). With
// --menu 0 it appends no captions: the popup holds only its built-in item,
// and choosing it ("Zanthel") counts as the exit choice. With
// --linger it runs on for N seconds without the icon, so that a test can see
// the notification area empty while the virtual desktop still exists.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Calls a member by name. A put passes its value as the property-put
// argument, as every automation client does.
HRESULT Call(IDispatch* tray, const wchar_t* name, WORD kind, const wchar_t* text = nullptr,
             std::wstring* result = nullptr)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = tray->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;

    VARIANT arg;
    ::VariantInit(&arg);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {};
    if (text) {
        arg.vt = VT_BSTR;
        arg.bstrVal = ::SysAllocString(text);
        params.rgvarg = &arg;
        params.cArgs = 1;
        if (kind == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
    }
    VARIANT out;
    ::VariantInit(&out);
    EXCEPINFO error = {};
    hr = tray->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &out, &error, nullptr);
    if (SUCCEEDED(hr) && result) *result = (out.vt == VT_BSTR && out.bstrVal) ? out.bstrVal : L"";
    if (hr == DISP_E_EXCEPTION && error.scode) hr = error.scode;
    ::SysFreeString(error.bstrSource);
    ::SysFreeString(error.bstrDescription);
    ::SysFreeString(error.bstrHelpFile);
    ::VariantClear(&out);
    ::VariantClear(&arg);
    return hr;
}

bool Failed(HRESULT hr, const char* what)
{
    if (SUCCEEDED(hr)) return false;
    std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    std::fflush(stdout);
    return true;
}

std::string Utf8(const std::wstring& text)
{
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    return out;
}

// Dispatches this thread's messages for up to the given time. The tray's
// clicks and its popup menu only work while this runs.
void PumpMessages(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= milliseconds) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_ALLINPUT);
    }
}

int Run(IDispatch* tray, int seconds, int exitsToStop, int linger, bool withMenu)
{
    if (Failed(Call(tray, L"ToolTipName", DISPATCH_PROPERTYPUT, L"Zanthel demo"), "ToolTipName") ||
        Failed(Call(tray, L"WindowName", DISPATCH_PROPERTYPUT, L"Zanthel demo"), "WindowName"))
        return 1;
    for (const wchar_t* caption : {L"Show", L"-", L"Exit"})
        if (withMenu && Failed(Call(tray, L"AppendMenu", DISPATCH_METHOD, caption), "AppendMenu")) return 1;
    const std::wstring exitChoice = withMenu ? L"Exit," : L"Zanthel";
    if (Failed(Call(tray, L"LoadTray", DISPATCH_METHOD), "LoadTray")) return 1;
    std::printf("Icon loaded\n");
    std::fflush(stdout);

    int exits = 0;
    const DWORD start = ::GetTickCount();
    while (exits < exitsToStop && ::GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        PumpMessages(100);
        std::wstring event;
        if (Failed(Call(tray, L"mnuEvent", DISPATCH_PROPERTYGET, nullptr, &event), "mnuEvent")) break;
        if (event.empty()) continue;
        std::printf("mnuEvent: %s\n", Utf8(event).c_str());
        std::fflush(stdout);
        Call(tray, L"mnuEvent", DISPATCH_PROPERTYPUT, L"");
        if (event.compare(0, exitChoice.size(), exitChoice) == 0) ++exits;
    }
    if (exits < exitsToStop) std::printf("Time limit reached\n");
    Call(tray, L"UnLoadTray", DISPATCH_METHOD);
    std::printf("Icon removed\n");
    std::fflush(stdout);
    PumpMessages(static_cast<DWORD>(linger) * 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 60, exits = 1, linger = 0, menu = 1;
    for (int i = 1; i < argc; i += 2) {
        int* option = !std::strcmp(argv[i], "--seconds")  ? &seconds
                      : !std::strcmp(argv[i], "--exits")  ? &exits
                      : !std::strcmp(argv[i], "--linger") ? &linger
                      : !std::strcmp(argv[i], "--menu")   ? &menu
                                                          : nullptr;
        if (!option || i + 1 == argc) {
            std::printf("usage: demo_host [--seconds N] [--exits N] [--linger N] [--menu 0|1]\n");
            return 2;
        }
        *option = std::atoi(argv[i + 1]);
    }

    // LabVIEW calls automation objects from a single-threaded apartment.
    if (Failed(::CoInitialize(nullptr), "CoInitialize")) return 1;
    int status = 1;
    CLSID clsid;
    IDispatch* tray = nullptr;
    if (!Failed(::CLSIDFromProgID(L"Zanthel.classTray", &clsid), "CLSIDFromProgID (is Zanthel.dll registered?)") &&
        !Failed(
            ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&tray)),
            "CoCreateInstance")) {
        status = Run(tray, seconds, exits, linger, menu != 0);
        tray->Release();
    }
    ::CoUninitialize();
    return status;
}
