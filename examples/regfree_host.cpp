// Zanthel without registration: this program's own manifest
// (regfree_host.exe.manifest beside it, or embedded) names the assembly
// Zanthel.Server, whose manifest (Zanthel.Server.manifest beside
// Zanthel.dll, in this program's folder) lists the classes, ProgIDs, type
// libraries and interfaces that regsvr32 would otherwise write to the
// registry. Nothing of Zanthel needs to be registered.
//
//   regfree_host
//
// It creates both classes by CLSID and by ProgID, loads both type libraries
// by their GUIDs, advises NotifyIcon's events and receives a Click, printing
// one line for each step ("ok", or "FAILED" with the HRESULT); the exit code
// is the number of failed steps.
#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#endif
#include "ZanthelNotify_h.h"
#include "Zanthel_h.h"
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif

#include <ocidl.h>
#include <shellapi.h>

#include <cstdio>

namespace {

int failures = 0;

bool Report(HRESULT hr, const char* what)
{
    if (SUCCEEDED(hr)) {
        std::printf("ok      %s\n", what);
    } else {
        std::printf("FAILED  %s: 0x%08lX\n", what, static_cast<unsigned long>(hr));
        ++failures;
    }
    std::fflush(stdout);
    return SUCCEEDED(hr);
}

void PrintGuid(const char* label, REFGUID guid)
{
    wchar_t text[39] = {};
    ::StringFromGUID2(guid, text, 39);
    std::printf("        %s %ls\n", label, text);
}

// Counts the Click events of DNotifyIconEvents.
class EventSink final : public IDispatch {
public:
    int clicks = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        const bool answers = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DNotifyIconEvents;
        *object = answers ? static_cast<IDispatch*>(this) : nullptr;
        if (!answers) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // Lives on main's stack, longer than the advise.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (id == 1) ++clicks;
        return S_OK;
    }
};

// Creates the class and asks it for the interface it is known by.
HRESULT Create(REFCLSID clsid, REFIID iid)
{
    IUnknown* object = nullptr;
    const HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object));
    if (object) object->Release();
    return hr;
}

// Looks the ProgID up and creates what it answers. Through a manifest the
// answer may be an alias of the class that holds only in this program's
// activation context (Wine makes a new one each run): create through it, but
// neither compare it with the class's CLSID nor keep it.
void CreateByProgId(const wchar_t* progId, REFCLSID expected, REFIID iid)
{
    char what[96];
    std::snprintf(what, sizeof what, "CLSIDFromProgID(\"%ls\")", progId);
    CLSID clsid = {};
    if (!Report(::CLSIDFromProgID(progId, &clsid), what)) return;
    if (clsid != expected) PrintGuid("an alias of the class:", clsid);
    std::snprintf(what, sizeof what, "CoCreateInstance(\"%ls\")", progId);
    Report(Create(clsid, iid), what);
}

// Loads the type library the way a host does, through its GUID, and checks it is that library.
void LoadLibraryByGuid(REFGUID library, WORD major, WORD minor, const char* what)
{
    ITypeLib* types = nullptr;
    HRESULT hr = ::LoadRegTypeLib(library, major, minor, LOCALE_NEUTRAL, &types);
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(hr)) hr = types->GetLibAttr(&attributes);
    if (attributes) {
        if (attributes->guid != library) {
            PrintGuid("loaded", attributes->guid);
            hr = TYPE_E_LIBNOTREGISTERED;
        }
        types->ReleaseTLibAttr(attributes);
    }
    if (types) types->Release();
    Report(hr, what);
}

// The NotifyIcon's hidden window of this thread, which the shell sends the icon's mouse messages to.
HWND IconWindow()
{
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM result) WINAPI -> BOOL {
            wchar_t name[64];
            if (!::GetClassNameW(window, name, 64) || ::lstrcmpW(name, L"ZanthelNotifyWindow") != 0) return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Plays the shell's click on the icon and waits up to two seconds for the event.
HRESULT ReceiveClick(EventSink& sink)
{
    const HWND window = IconWindow();
    if (!window) return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    ::SendMessageW(window, WM_APP + 1, 0, MAKELPARAM(NIN_SELECT, 1));
    for (DWORD start = ::GetTickCount(); sink.clicks == 0 && ::GetTickCount() - start < 2000;) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    return sink.clicks > 0 ? S_OK : E_FAIL;
}

void AdviseAndClick()
{
    INotifyIcon* icon = nullptr;
    if (!Report(::CoCreateInstance(CLSID_NotifyIcon, nullptr, CLSCTX_INPROC_SERVER, IID_INotifyIcon,
                                   reinterpret_cast<void**>(&icon)),
                "CoCreateInstance(CLSID_NotifyIcon)"))
        return;
    EventSink sink;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    if (Report(icon->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
               "QueryInterface(IConnectionPointContainer)") &&
        Report(container->FindConnectionPoint(DIID_DNotifyIconEvents, &point), "FindConnectionPoint") &&
        Report(point->Advise(&sink, &cookie), "Advise(DNotifyIconEvents)")) {
        Report(icon->put_Visible(VARIANT_TRUE), "put_Visible(VARIANT_TRUE)");
        Report(ReceiveClick(sink), "event Click");
        Report(point->Unadvise(cookie), "Unadvise");
    }
    if (point) point->Release();
    if (container) container->Release();
    icon->Release();
}

}  // namespace

int main()
{
    if (!Report(::CoInitialize(nullptr), "CoInitialize")) return 1;
    Report(Create(CLSID_classTray, IID__classTray), "CoCreateInstance(CLSID_classTray)");
    CreateByProgId(L"Zanthel.classTray", CLSID_classTray, IID__classTray);
    CreateByProgId(L"Zanthel.NotifyIcon", CLSID_NotifyIcon, IID_INotifyIcon);
    CreateByProgId(L"Zanthel.NotifyIcon.1", CLSID_NotifyIcon, IID_INotifyIcon);
    LoadLibraryByGuid(LIBID_Zanthel, 1, 0, "LoadRegTypeLib(Zanthel 1.0)");
    LoadLibraryByGuid(LIBID_ZanthelNotify, 1, 1, "LoadRegTypeLib(ZanthelNotify 1.1)");
    AdviseAndClick();
    ::CoUninitialize();
    std::printf("%d failed\n", failures);
    return failures;
}
