// Zanthel's NotifyIcon from C++ with early binding and events: the
// declarations come from the header generated from its interface definition
// (include/ZanthelNotify_h.h, with its GUIDs in include/ZanthelNotify_i.c);
// calls go straight through the INotifyIcon vtable, and the events reach a
// sink object through the connection point.
// Zanthel.dll must be registered (regsvr32 Zanthel.dll).
//
//   notify_sink [seconds]      (default 1)
//
// Strings go in as plain BSTRs that the caller allocates and frees; a BSTR
// read from a property belongs to the caller too. Events arrive on the
// thread that created the object, while it dispatches window messages.
// The header gives ShowNotification's iconPath the default L"", a BSTR made
// from a string literal, as MIDL's headers do: GCC's -Werror refuses that
// (so does MSVC's /Zc:strictStrings) unless told it is meant.
#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#endif
#include "ZanthelNotify_h.h"
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif

#include <ocidl.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool Succeeded(HRESULT hr, const char* what)
{
    std::printf("%-34s 0x%08lX\n", what, static_cast<unsigned long>(hr));
    std::fflush(stdout);
    return SUCCEEDED(hr);
}

// The events' dispinterface, DNotifyIconEvents: every event is a call of
// Invoke with the event's DISPID; MenuItemClick passes the item's identifier
// and caption, the last argument first.
class EventSink final : public IDispatch {
public:
    LONG exitId = 0;
    bool exitChosen = false;

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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        switch (id) {
            case 1:
                std::printf("event: Click\n");
                break;
            case 2:
                std::printf("event: DoubleClick\n");
                break;
            case 3:
                if (params && params->cArgs == 2 && V_VT(&params->rgvarg[1]) == VT_I4 &&
                    V_VT(&params->rgvarg[0]) == VT_BSTR) {
                    const LONG item = V_I4(&params->rgvarg[1]);
                    const BSTR caption = V_BSTR(&params->rgvarg[0]);
                    std::printf("event: MenuItemClick %ld \"%ls\"\n", static_cast<long>(item), caption ? caption : L"");
                    exitChosen = exitChosen || item == exitId;
                }
                break;
            case 4:
                std::printf("event: BalloonClick\n");
                break;
            case 5:
                std::printf("event: BalloonClosed\n");
                break;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
        std::fflush(stdout);
        return S_OK;
    }
};

// A BSTR for one call, freed after it.
class Text {
public:
    explicit Text(const wchar_t* text) : value_(::SysAllocString(text)) {}
    ~Text() { ::SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

// Dispatches this thread's window messages for a while: the icon's clicks,
// its menu and the events reach the program only through them.
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

bool Run(INotifyIcon* icon, EventSink& sink, int seconds)
{
    LONG show = 0;
    if (!Succeeded(icon->put_ToolTip(Text(L"Zanthel event sink example")), "put_ToolTip") ||
        !Succeeded(icon->AddMenuItem(Text(L"Show"), &show), "AddMenuItem(\"Show\")") ||
        !Succeeded(icon->AddSeparator(), "AddSeparator") ||
        !Succeeded(icon->AddMenuItem(Text(L"Exit"), &sink.exitId), "AddMenuItem(\"Exit\")") ||
        !Succeeded(icon->put_Visible(VARIANT_TRUE), "put_Visible(VARIANT_TRUE)"))
        return false;

    // The events come to the sink; NextEvent keeps the same ones as text for
    // a host that only polls. Choosing "Exit" ends it early.
    bool ok = true;
    for (int poll = 0; ok && !sink.exitChosen && poll < seconds * 10; ++poll) {
        PumpMessages(100);
        for (bool more = true; ok && more;) {
            BSTR event = nullptr;
            ok = SUCCEEDED(icon->get_NextEvent(&event));
            more = ok && event && *event;
            if (more) std::printf("NextEvent: %ls\n", event);
            ::SysFreeString(event);
        }
    }
    if (!Succeeded(ok ? S_OK : E_FAIL, "polling get_NextEvent")) return false;
    return Succeeded(icon->put_Visible(VARIANT_FALSE), "put_Visible(VARIANT_FALSE)");
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 1;
    // A single-threaded apartment, like LabVIEW's user-interface thread.
    if (!Succeeded(::CoInitialize(nullptr), "CoInitialize")) return 1;
    EventSink sink;
    INotifyIcon* icon = nullptr;
    bool ok = Succeeded(::CoCreateInstance(CLSID_NotifyIcon, nullptr, CLSCTX_INPROC_SERVER, IID_INotifyIcon,
                                           reinterpret_cast<void**>(&icon)),
                        "CoCreateInstance(CLSID_NotifyIcon)");
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    ok = ok && Succeeded(icon->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
                         "QueryInterface(IConnectionPointContainer)");
    ok = ok && Succeeded(container->FindConnectionPoint(DIID_DNotifyIconEvents, &point), "FindConnectionPoint");
    ok = ok && Succeeded(point->Advise(&sink, &cookie), "Advise");
    if (ok) ok = Run(icon, sink, seconds);
    if (cookie) ok = Succeeded(point->Unadvise(cookie), "Unadvise") && ok;
    if (point) point->Release();
    if (container) container->Release();
    // The last release removes the icon and its menu.
    if (icon) icon->Release();
    ::CoUninitialize();
    std::printf("%s\n", ok ? "Done" : "Failed");
    return ok ? 0 : 1;
}
