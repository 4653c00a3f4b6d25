// Timings for scripts/bench.sh, each Zanthel figure next to its reference,
// as medians of interleaved repetitions. Prints one line per figure:
//   <name> <zanthel> <reference> <unit>
// Usage:
//   bench_probe dispatch [repetitions] [calls]   late- and early-bound mnuEvent reads
//   bench_probe fresh [repetitions]              fresh_tray.exe against minimal_tray.exe, and
//                                                fresh_notify.exe against minimal_notify.exe
//   bench_probe append [repetitions]             AppendMenu per item at 10,000 items against at 100
//   bench_probe notify [repetitions] [calls]     NotifyIcon's event path, alone and in a host's
//                                                chunks of clicks, and NextEvent poll
#include "child_process.h"
#include "common/handles.h"
#include "component/notify_interface.h"
#include "reference_dispatch.h"
#include "support/dll_under_test.h"
#include "support/event_sink.h"
#include "support/host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace zanthel;
using namespace zanthel::bench;
using test::Bstr;
using test::ComPtr;

namespace {

double Seconds(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    work();
    ::QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs both measurements in turn, repetitions times, so that drift in the
// machine's speed reaches both alike; prints their medians.
void Interleaved(const char* name, const char* unit, int repetitions, const std::function<double()>& zanthel,
                 const std::function<double()>& reference)
{
    std::vector<double> ours, theirs;
    for (int i = 0; i < repetitions; ++i) {
        ours.push_back(zanthel());
        theirs.push_back(reference());
    }
    std::printf("%s %.4g %.4g %s\n", name, Median(ours), Median(theirs), unit);
}

int Dispatch(int repetitions, int calls)
{
    test::ComApartment apartment;
    ComPtr<_classTray> zanthel = test::NewTray();
    ComPtr<_classTray> reference;
    if (!zanthel || FAILED(CreateReferenceTray(test::DllPath(), &reference))) return 2;
    for (_classTray* tray : {zanthel.Get(), reference.Get()}) {
        Bstr event(L"LeftMouse");
        tray->put_mnuEvent(&event);
    }
    const auto lateBound = [calls](_classTray* tray) {
        return [calls, tray] {
            DISPPARAMS none{};
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i) {
                           VARIANT result;
                           ::VariantInit(&result);
                           tray->Invoke(0x68030000, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                        nullptr, nullptr);
                           ::VariantClear(&result);
                       }
                   }) *
                   1e9 / calls;
        };
    };
    const auto earlyBound = [calls](_classTray* tray) {
        return [calls, tray] {
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i) {
                           BSTR value = nullptr;
                           tray->get_mnuEvent(&value);
                           ::SysFreeString(value);
                       }
                   }) *
                   1e9 / calls;
        };
    };
    lateBound(zanthel.Get())();  // first use loads the type library
    lateBound(reference.Get())();
    Interleaved("invoke_mnuEvent", "ns", repetitions, lateBound(zanthel.Get()), lateBound(reference.Get()));
    Interleaved("vtable_mnuEvent", "ns", repetitions, earlyBound(zanthel.Get()), earlyBound(reference.Get()));
    return 0;
}

// Whole runs of a program, each a fresh process, against its yardstick's.
void FreshRuns(const char* name, int repetitions, const wchar_t* zanthel, const wchar_t* reference)
{
    const auto run = [](const wchar_t* program) {
        return [program] {
            DWORD code = 0;
            const double ms = Seconds([&] { code = RunChild(ProgramBeside(program), L"", 60000); }) * 1e3;
            if (code != 0) std::fprintf(stderr, "%ls ended with 0x%08lX\n", program, code);
            return ms;
        };
    };
    run(zanthel)();  // the first start of each maps files in
    run(reference)();
    Interleaved(name, "ms", repetitions, run(zanthel), run(reference));
}

int Fresh(int repetitions)
{
    FreshRuns("fresh_process", repetitions, L"fresh_tray.exe", L"minimal_tray.exe");
    FreshRuns("notify_startup", repetitions, L"fresh_notify.exe", L"minimal_notify.exe");
    return 0;
}

struct AppendRun {
    int items;
    double microsecondsPerItem;
};

// A fresh apartment thread each time, so every menu starts empty.
DWORD WINAPI AppendThread(void* parameter)
{
    auto* run = static_cast<AppendRun*>(parameter);
    test::ComApartment apartment;
    ComPtr<_classTray> tray = test::NewTray();
    Bstr caption(L"Menu item");
    tray->AppendMenu(&caption);  // the first caption renames the built-in item; the window exists from here
    run->microsecondsPerItem = Seconds([&] {
                                   for (int i = 0; i < run->items; ++i) tray->AppendMenu(&caption);
                               }) *
                               1e6 / run->items;
    return 0;
}

double AppendCost(int items)
{
    AppendRun run{items, 0};
    HANDLE thread = ::CreateThread(nullptr, 0, &AppendThread, &run, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    return run.microsecondsPerItem;
}

// Counts the events it gets and does nothing else, so that what the event
// path adds is all that the figure shows.
class CountingSink final : public test::EventSink {
public:
    long events = 0;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++events;
        return S_OK;
    }
};

// The yardstick for the event path: a plain window that decodes the same
// callback message and calls the sink's Invoke itself.
constexpr UINT kCallbackMessage = WM_APP + 1;
constexpr wchar_t kReferenceWindowClass[] = L"ZanthelBenchEventWindow";

LRESULT CALLBACK ReferenceWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* sink = reinterpret_cast<IDispatch*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg != kCallbackMessage || !sink) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (LOWORD(lParam) == NIN_SELECT && HIWORD(lParam) == 1) {
        DISPPARAMS none{};
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO exception{};
        UINT argumentError = 0;
        sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, &exception, &argumentError);
        ::VariantClear(&result);
    }
    return 0;
}

UniqueWindow NewReferenceWindow(IDispatch* sink)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ReferenceWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kReferenceWindowClass;
    ::RegisterClassExW(&windowClass);
    // Top-level and hidden, as the icon's own window is.
    UniqueWindow window(::CreateWindowExW(0, kReferenceWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          windowClass.hInstance, nullptr));
    if (window) ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(sink));
    return window;
}

int SubmenuChoice(int repetitions, int calls);

// Clicks as a host gets them: chunks of callbacks to each window in turn,
// each chunk timed with the messages its window then finds posted to itself,
// as a host's loop would run them. Prints the medians of each repetition's
// time per click.
void HostClicks(int repetitions, int clicks, HWND icon, HWND reference)
{
    constexpr int kChunk = 5000;
    const auto chunk = [](HWND target, int count) {
        return Seconds([&] {
            for (int i = 0; i < count; ++i)
                ::SendMessageW(target, kCallbackMessage, MAKEWPARAM(20, 740), MAKELPARAM(NIN_SELECT, 1));
            MSG posted;
            while (::PeekMessageW(&posted, target, 0, 0, PM_REMOVE)) ::DispatchMessageW(&posted);
        });
    };
    std::vector<double> ours, theirs;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        double zanthel = 0, plain = 0;
        for (int done = 0; done < clicks; done += kChunk) {
            const int count = std::min(kChunk, clicks - done);
            zanthel += chunk(icon, count);
            plain += chunk(reference, count);
        }
        ours.push_back(zanthel * 1e9 / clicks);
        theirs.push_back(plain * 1e9 / clicks);
    }
    std::printf("host_click %.4g %.4g ns\n", Median(ours), Median(theirs));
}

int Notify(int repetitions, int calls)
{
    test::ComApartment apartment;
    ComPtr<INotifyIcon> icon = test::NewNotifyIcon();
    if (!icon) return 2;
    // Found before any other icon exists: the only window of its class.
    const HWND window = ::FindWindowExW(nullptr, nullptr, L"ZanthelNotifyWindow", nullptr);
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    CountingSink sink;
    DWORD cookie = 0;
    if (!window || FAILED(icon.As(&container)) ||
        FAILED(container->FindConnectionPoint(DIID_DNotifyIconEvents, &point)) || FAILED(point->Advise(&sink, &cookie)))
        return 2;
    const UniqueWindow referenceWindow = NewReferenceWindow(&sink);
    if (!referenceWindow) return 2;
    const auto perEvent = [calls](HWND target) {
        return [calls, target] {
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i)
                           ::SendMessageW(target, kCallbackMessage, MAKEWPARAM(20, 740), MAKELPARAM(NIN_SELECT, 1));
                   }) *
                   1e9 / calls;
        };
    };
    perEvent(window)();  // fills the queue: from here each event displaces the oldest
    perEvent(referenceWindow.get())();
    sink.events = 0;
    Interleaved("notify_event", "ns", repetitions, perEvent(window), perEvent(referenceWindow.get()));
    HostClicks(repetitions, calls, window, referenceWindow.get());
    // Every callback must have reached the sink, or the figures timed something else.
    const long expected = 4L * repetitions * calls;  // twice through the icon's window and the reference's
    if (sink.events != expected) {
        std::fprintf(stderr, "the sink got %ld of %ld events\n", sink.events, expected);
        return 1;
    }
    point->Unadvise(cookie);

    // An icon whose queue is empty, against a reference whose mnuEvent is
    // empty: both answer with an empty string.
    ComPtr<INotifyIcon> idle = test::NewNotifyIcon();
    ComPtr<_classTray> reference;
    if (!idle || FAILED(CreateReferenceTray(test::DllPath(), &reference))) return 2;
    const auto poll = [calls](IDispatch* object, DISPID id) {
        return [calls, object, id] {
            DISPPARAMS none{};
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i) {
                           VARIANT result;
                           ::VariantInit(&result);
                           object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                          nullptr, nullptr);
                           ::VariantClear(&result);
                       }
                   }) *
                   1e9 / calls;
        };
    };
    poll(idle.Get(), 10)();  // first use loads the type libraries
    poll(reference.Get(), 0x68030000)();
    Interleaved("invoke_NextEvent", "ns", repetitions, poll(idle.Get(), 10), poll(reference.Get(), 0x68030000));
    return SubmenuChoice(repetitions, calls);
}

// The icon window made last, of those not in known.
HWND NewIconWindow(std::vector<HWND>& known)
{
    for (HWND found = nullptr; (found = ::FindWindowExW(nullptr, found, L"ZanthelNotifyWindow", nullptr));)
        if (std::find(known.begin(), known.end(), found) == known.end()) return known.push_back(found), found;
    return nullptr;
}

// A menu choice deep in submenus against one in the top menu: a double
// click chooses the default item through the same lookups as the popup's
// choice, without the popup's modal loop.
int SubmenuChoice(int repetitions, int calls)
{
    std::vector<HWND> known;
    const auto iconWithDefault = [&](int depth, ComPtr<INotifyIcon2>& icon) {
        if (FAILED(test::NewNotifyIcon().As(&icon))) return HWND{};
        LONG parent = 0, id = 0;
        for (int level = 0; level < depth; ++level) icon->AddSubMenu(parent, Bstr(L"Submenu").get(), &parent);
        for (int item = 0; item < 8; ++item) icon->AddMenuItemTo(parent, Bstr(L"Item").get(), &id);
        icon->put_DefaultMenuItem(id);
        return NewIconWindow(known);
    };
    ComPtr<INotifyIcon2> deep, top;
    const HWND deepWindow = iconWithDefault(3, deep), topWindow = iconWithDefault(0, top);
    if (!deepWindow || !topWindow) return 2;
    const auto perChoice = [calls](HWND target) {
        return [calls, target] {
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i)
                           ::SendMessageW(target, kCallbackMessage, 0, MAKELPARAM(WM_LBUTTONDBLCLK, 1));
                   }) *
                   1e9 / calls;
        };
    };
    perChoice(deepWindow)();  // fills both queues
    perChoice(topWindow)();
    Interleaved("submenu_choice", "ns", repetitions, perChoice(deepWindow), perChoice(topWindow));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;
    if (mode == "dispatch") return Dispatch(repetitions, argc > 3 ? std::atoi(argv[3]) : 20000);
    if (mode == "fresh") return Fresh(repetitions);
    if (mode == "notify") return Notify(repetitions, argc > 3 ? std::atoi(argv[3]) : 20000);
    if (mode == "append") {
        Interleaved(
            "append_per_item", "us", repetitions, [] { return AppendCost(10000); }, [] { return AppendCost(100); });
        return 0;
    }
    std::fprintf(stderr, "usage: bench_probe dispatch|fresh|append|notify [repetitions] [calls]\n");
    return 2;
}
