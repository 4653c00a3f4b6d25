// A late-bound host for Zanthel, written the way a LabVIEW program uses it:
// names are looked up at run time through IDispatch, the thread keeps
// dispatching window messages, and mnuEvent is polled and cleared.
//
//   demo_host [--seconds N] [--exits N] [--linger N] [--menu 0|1|2] [--notify 0|1] [--balloon 0|1]
//
// Prints one line per event ("mnuEvent: Exit,72") and removes the icon after
// the N-th "Exit" choice (default 1) or after N seconds (default 60). With
// --menu 0 it appends no captions: the popup holds only its built-in item,
// and choosing it ("Zanthel") counts as the exit choice. With
// --linger it runs on for N seconds without the icon, so that a test can see
// the notification area empty while the virtual desktop still exists.
//
// With --notify 1 it uses Zanthel.NotifyIcon instead, as a LabVIEW program
// with Register Event Callback does: it finds the events' interface through
// IProvideClassInfo2, advises a sink that prints each event by its name from
// the type information as it arrives ("event: MenuItemClick 2 Exit"), and
// also drains the queue ("NextEvent: MenuItemClick,2,Exit"), where it knows
// the items by their identifiers. Its menu is "Show", a separator and "Exit";
// --menu 2 gives scripts/demo.sh's menu instead, built with INotifyIcon2's
// members: "Logging", checked and the default item (bold; a double click on
// the icon chooses it), a submenu "Rate" with the radio items "Slow"
// (checked) and "Fast", "Calibrate" greyed, a separator and "Exit". Each
// choice of "Logging" toggles its check mark, and each MenuOpening writes the
// chosen rate into the submenu's caption ("Rate: Fast") before the menu shows.
// --balloon 1 shows a balloon notification from the icon.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

VARIANT Text(const wchar_t* text)
{
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = ::SysAllocString(text);
    return value;
}

VARIANT Number(LONG number)
{
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

VARIANT Flag(bool flag)
{
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

// Any value as the text VariantChangeType makes of it, "" when it makes none.
std::wstring AsText(const VARIANT& value)
{
    VARIANT text;
    ::VariantInit(&text);
    std::wstring out;
    if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)) && text.bstrVal)
        out = text.bstrVal;
    ::VariantClear(&text);
    return out;
}

// Calls a member by name with its arguments, first to last, and gives its
// result as text. A put passes its value as the property-put argument, as
// every automation client does. Takes the arguments over.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, std::vector<VARIANT> args = {},
             std::wstring* result = nullptr)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    // Invoke takes them last to first.
    std::reverse(args.begin(), args.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    VARIANT out;
    ::VariantInit(&out);
    EXCEPINFO error = {};
    if (SUCCEEDED(hr)) hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &out, &error, nullptr);
    if (SUCCEEDED(hr) && result) *result = AsText(out);
    if (hr == DISP_E_EXCEPTION && error.scode) hr = error.scode;
    ::SysFreeString(error.bstrSource);
    ::SysFreeString(error.bstrDescription);
    ::SysFreeString(error.bstrHelpFile);
    ::VariantClear(&out);
    for (VARIANT& arg : args) ::VariantClear(&arg);
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

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Dispatches messages and polls until the host has seen exitsToStop exit
// choices or the time is up. poll prints what it finds and returns the exit
// choices among it, or -1 when polling failed.
void PollForExits(int seconds, int exitsToStop, const std::function<int()>& poll)
{
    int exits = 0;
    const DWORD start = ::GetTickCount();
    while (exits < exitsToStop && ::GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        PumpMessages(100);
        const int found = poll();
        if (found < 0) break;
        exits += found;
    }
    if (exits < exitsToStop) Say("Time limit reached");
}

int Run(IDispatch* tray, int seconds, int exitsToStop, int linger, bool withMenu)
{
    if (Failed(Call(tray, L"ToolTipName", DISPATCH_PROPERTYPUT, {Text(L"Zanthel demo")}), "ToolTipName") ||
        Failed(Call(tray, L"WindowName", DISPATCH_PROPERTYPUT, {Text(L"Zanthel demo")}), "WindowName"))
        return 1;
    for (const wchar_t* caption : {L"Show", L"-", L"Exit"})
        if (withMenu && Failed(Call(tray, L"AppendMenu", DISPATCH_METHOD, {Text(caption)}), "AppendMenu")) return 1;
    const std::wstring exitChoice = withMenu ? L"Exit," : L"Zanthel";
    if (Failed(Call(tray, L"LoadTray", DISPATCH_METHOD), "LoadTray")) return 1;
    Say("Icon loaded");
    PollForExits(seconds, exitsToStop, [&] {
        std::wstring event;
        if (Failed(Call(tray, L"mnuEvent", DISPATCH_PROPERTYGET, {}, &event), "mnuEvent")) return -1;
        if (event.empty()) return 0;
        Say("mnuEvent: " + Utf8(event));
        Call(tray, L"mnuEvent", DISPATCH_PROPERTYPUT, {Text(L"")});
        return event.compare(0, exitChoice.size(), exitChoice) == 0 ? 1 : 0;
    });
    Call(tray, L"UnLoadTray", DISPATCH_METHOD);
    Say("Icon removed");
    PumpMessages(static_cast<DWORD>(linger) * 1000);
    return 0;
}

// Prints every event it gets by the name the type information gives it,
// then tells heard that name.
class PrintingSink final : public IDispatch {
public:
    PrintingSink(const IID& events, ITypeInfo* info, std::function<void(const std::wstring&)> heard)
        : events_(events), info_(info), heard_(std::move(heard))
    {
        info_->AddRef();
    }
    ~PrintingSink() { info_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        *object = riid == IID_IUnknown || riid == IID_IDispatch || riid == events_ ? this : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (!left) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        BSTR name = nullptr;
        UINT names = 0;
        info_->GetNames(id, &name, 1, &names);
        const std::wstring event = name ? name : L"?";
        ::SysFreeString(name);
        std::string line = "event: " + Utf8(event);
        // Arguments come last to first.
        for (UINT i = params ? params->cArgs : 0; i-- > 0;) line += " " + Utf8(AsText(params->rgvarg[i]));
        Say(line);
        if (heard_) heard_(event);
        return S_OK;
    }

private:
    IID events_;
    ITypeInfo* info_;
    std::function<void(const std::wstring&)> heard_;
    ULONG references_ = 1;
};

// Calls a member that adds to a NotifyIcon menu (AddMenuItem, AddMenuItemTo,
// AddSubMenu) and keeps the identifier it returns.
HRESULT Add(IDispatch* icon, const wchar_t* member, std::vector<VARIANT> args, LONG& id)
{
    std::wstring text;
    const HRESULT hr = Call(icon, member, DISPATCH_METHOD, std::move(args), &text);
    id = std::wcstol(text.c_str(), nullptr, 10);
    return hr;
}

// The identifiers of the items the host acts on.
struct MenuIds {
    LONG first = 0, exit = 0, rate = 0, slow = 0, fast = 0;
};

// "Show", a separator and "Exit"; or the demo's menu: "Logging" checked and
// the default item, the submenu "Rate" with the radio group "Slow" (checked)
// and "Fast", "Calibrate" greyed, a separator and "Exit".
HRESULT AddMenu(IDispatch* icon, bool demoMenu, MenuIds& ids)
{
    HRESULT hr = Add(icon, L"AddMenuItem", {Text(demoMenu ? L"Logging" : L"Show")}, ids.first);
    LONG greyed = 0;
    if (demoMenu) {
        if (SUCCEEDED(hr)) hr = Call(icon, L"SetMenuItemChecked", DISPATCH_METHOD, {Number(ids.first), Flag(true)});
        if (SUCCEEDED(hr)) hr = Call(icon, L"DefaultMenuItem", DISPATCH_PROPERTYPUT, {Number(ids.first)});
        if (SUCCEEDED(hr)) hr = Add(icon, L"AddSubMenu", {Number(0), Text(L"Rate")}, ids.rate);
        if (SUCCEEDED(hr)) hr = Add(icon, L"AddMenuItemTo", {Number(ids.rate), Text(L"Slow")}, ids.slow);
        if (SUCCEEDED(hr)) hr = Add(icon, L"AddMenuItemTo", {Number(ids.rate), Text(L"Fast")}, ids.fast);
        for (const LONG radio : {ids.slow, ids.fast})
            if (SUCCEEDED(hr)) hr = Call(icon, L"SetMenuItemRadio", DISPATCH_METHOD, {Number(radio), Number(1)});
        if (SUCCEEDED(hr)) hr = Call(icon, L"SetMenuItemChecked", DISPATCH_METHOD, {Number(ids.slow), Flag(true)});
        if (SUCCEEDED(hr)) hr = Add(icon, L"AddMenuItem", {Text(L"Calibrate")}, greyed);
        if (SUCCEEDED(hr)) hr = Call(icon, L"SetMenuItemEnabled", DISPATCH_METHOD, {Number(greyed), Flag(false)});
    }
    if (SUCCEEDED(hr)) hr = Call(icon, L"AddSeparator", DISPATCH_METHOD);
    if (SUCCEEDED(hr)) hr = Add(icon, L"AddMenuItem", {Text(L"Exit")}, ids.exit);
    return hr;
}

// The item a queued "MenuItemClick,<id>,<caption>" names, 0 for any other
// event. Keyed on the id, read up to the second comma: the caption may hold
// commas, and two items may share a caption.
LONG ChosenItem(const std::wstring& event)
{
    const std::wstring kind = L"MenuItemClick,";
    if (event.compare(0, kind.size(), kind) != 0) return 0;
    return std::wcstol(event.c_str() + kind.size(), nullptr, 10);
}

// The events' interface and its type information, as a late-binding host finds them.
HRESULT FindEvents(IDispatch* icon, IID& events, ITypeInfo** info)
{
    IProvideClassInfo2* classInfo = nullptr;
    HRESULT hr = icon->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo));
    if (FAILED(hr)) return hr;
    ITypeInfo* coclass = nullptr;
    hr = classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
    if (SUCCEEDED(hr)) hr = classInfo->GetClassInfo(&coclass);
    classInfo->Release();
    if (FAILED(hr)) return hr;
    ITypeLib* library = nullptr;
    UINT index = 0;
    hr = coclass->GetContainingTypeLib(&library, &index);
    coclass->Release();
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(events, info);
    library->Release();
    return hr;
}

int RunNotify(IDispatch* icon, int seconds, int exitsToStop, int linger, bool demoMenu, bool balloon)
{
    IID events;
    ITypeInfo* info = nullptr;
    if (Failed(FindEvents(icon, events, &info), "finding the events")) return 1;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    MenuIds ids;
    bool checked = demoMenu;
    std::wstring rate = L"Slow";
    // The handler may change the menu before it shows: the submenu's caption names the rate.
    auto* sink = new PrintingSink(events, info, [&](const std::wstring& event) {
        if (demoMenu && event == L"MenuOpening")
            Call(icon, L"SetMenuItemCaption", DISPATCH_METHOD, {Number(ids.rate), Text((L"Rate: " + rate).c_str())});
    });
    info->Release();
    HRESULT hr = icon->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(events, &point);
    if (SUCCEEDED(hr)) hr = point->Advise(sink, &cookie);
    if (container) container->Release();
    sink->Release();
    if (Failed(hr, "Advise")) {
        if (point) point->Release();
        return 1;
    }

    const bool failed = Failed(Call(icon, L"ToolTip", DISPATCH_PROPERTYPUT, {Text(L"Zanthel demo")}), "ToolTip") ||
                        Failed(AddMenu(icon, demoMenu, ids), "building the menu") ||
                        Failed(Call(icon, L"Visible", DISPATCH_PROPERTYPUT, {Flag(true)}), "Visible") ||
                        (balloon && Failed(Call(icon, L"ShowBalloon", DISPATCH_METHOD,
                                                {Text(L"Zanthel demo"), Text(L"The measurement has finished.")}),
                                           "ShowBalloon"));
    if (!failed) {
        Say("Icon loaded");
        PollForExits(seconds, exitsToStop, [&] {
            int exits = 0;
            std::wstring event;
            while (SUCCEEDED(Call(icon, L"NextEvent", DISPATCH_PROPERTYGET, {}, &event)) && !event.empty()) {
                Say("NextEvent: " + Utf8(event));
                const LONG item = ChosenItem(event);
                if (item == ids.exit) ++exits;
                if (!demoMenu || item == 0) continue;
                if (item == ids.first) {
                    checked = !checked;
                    Call(icon, L"SetMenuItemChecked", DISPATCH_METHOD, {Number(ids.first), Flag(checked)});
                }
                // Choosing a radio item has checked it already.
                if (item == ids.slow || item == ids.fast) rate = item == ids.slow ? L"Slow" : L"Fast";
            }
            return exits;
        });
        Call(icon, L"Visible", DISPATCH_PROPERTYPUT, {Flag(false)});
        Say("Icon removed");
    }
    point->Unadvise(cookie);
    point->Release();
    PumpMessages(static_cast<DWORD>(linger) * 1000);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 60, exits = 1, linger = 0, menu = 1, notify = 0, balloon = 0;
    for (int i = 1; i < argc; i += 2) {
        int* option = !std::strcmp(argv[i], "--seconds")   ? &seconds
                      : !std::strcmp(argv[i], "--exits")   ? &exits
                      : !std::strcmp(argv[i], "--linger")  ? &linger
                      : !std::strcmp(argv[i], "--menu")    ? &menu
                      : !std::strcmp(argv[i], "--notify")  ? &notify
                      : !std::strcmp(argv[i], "--balloon") ? &balloon
                                                           : nullptr;
        if (!option || i + 1 == argc) {
            std::printf(
                "usage: demo_host [--seconds N] [--exits N] [--linger N] [--menu 0|1|2] [--notify 0|1] [--balloon "
                "0|1]\n");
            return 2;
        }
        *option = std::atoi(argv[i + 1]);
    }

    // LabVIEW calls automation objects from a single-threaded apartment.
    if (Failed(::CoInitialize(nullptr), "CoInitialize")) return 1;
    int status = 1;
    CLSID clsid;
    IDispatch* tray = nullptr;
    const wchar_t* progId = notify ? L"Zanthel.NotifyIcon" : L"Zanthel.classTray";
    if (!Failed(::CLSIDFromProgID(progId, &clsid), "CLSIDFromProgID (is Zanthel.dll registered?)") &&
        !Failed(
            ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&tray)),
            "CoCreateInstance")) {
        status = notify ? RunNotify(tray, seconds, exits, linger, menu == 2, balloon != 0)
                        : Run(tray, seconds, exits, linger, menu != 0);
        tray->Release();
    }
    ::CoUninitialize();
    return status;
}
