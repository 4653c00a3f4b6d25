// Soak benchmark: drives one classTray the way a long-running host does and
// prints memory and handle figures, so a leak shows as growth per round.
#include "support/dll_under_test.h"
#include "support/host.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace zanthel::test;

namespace {

struct Figures {
    SIZE_T privateBytes;
    DWORD handles;
    DWORD userObjects;
    DWORD gdiObjects;
};

Figures Measure()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    DWORD handles = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
    return {counters.PagefileUsage, handles, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS),
            ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)};
}

void Print(const char* label, const Figures& f)
{
    std::printf("%-10s private %8lu KiB  handles %5lu  user objects %5lu  gdi objects %5lu\n", label,
                static_cast<unsigned long>(f.privateBytes / 1024), f.handles, f.userObjects, f.gdiObjects);
}

// One round of what a host does all day: icon changes, tray reloads, clicks, polls.
// Menu items are measured apart: each one rightly keeps its caption.
void Round(_classTray* tray, const std::wstring& iconPath, HWND host)
{
    Bstr icon(iconPath), tip(L"Zanthel soak"), empty(L"");
    tray->put_ToolTipName(&tip);
    tray->put_TrayIcon(&icon);
    tray->LoadTray();
    SendTrayCallback(host, WM_LBUTTONDOWN);
    ::SendMessageW(host, WM_COMMAND, 71, 0);
    Bstr event;
    tray->get_mnuEvent(&event);
    tray->put_mnuEvent(&empty);
    tray->UnLoadTray();
    tray->put_TrayIcon(&empty);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 300;
    ComApartment apartment;
    TempFile icon(L"zanthel-soak.ico", IconFileBytes());
    auto tray = NewTray();
    if (!tray) return 1;
    tray->LoadTray();
    HWND host = HostWindowOfThisThread();

    Round(tray.Get(), icon.path(), host);
    const Figures before = Measure();
    Print("warm", before);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        Round(tray.Get(), icon.path(), host);
        PumpMessages(std::chrono::milliseconds(0));
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const Figures after = Measure();
    Print("after", after);
    std::printf("rounds %d, %.3f ms per round\n", rounds,
                std::chrono::duration<double, std::milli>(elapsed).count() / rounds);
    std::printf(
        "growth per 1000 rounds: private %+ld KiB, handles %+ld, user objects %+ld, gdi objects %+ld\n",
        static_cast<long>((static_cast<long long>(after.privateBytes) - before.privateBytes) / 1024 * 1000 / rounds),
        static_cast<long>(after.handles - before.handles) * 1000 / rounds,
        static_cast<long>(after.userObjects - before.userObjects) * 1000 / rounds,
        static_cast<long>(after.gdiObjects - before.gdiObjects) * 1000 / rounds);

    const int items = 1000;
    Bstr caption(L"Menu item");
    const Figures beforeItems = Measure();
    const auto itemsStart = std::chrono::steady_clock::now();
    for (int i = 0; i < items; ++i) tray->AppendMenu(&caption);
    const auto itemsElapsed = std::chrono::steady_clock::now() - itemsStart;
    const Figures afterItems = Measure();
    std::printf("menu items %d, %.3f ms per AppendMenu, private %+ld KiB per 1000 items\n", items,
                std::chrono::duration<double, std::milli>(itemsElapsed).count() / items,
                static_cast<long>((static_cast<long long>(afterItems.privateBytes) - beforeItems.privateBytes) / 1024));
    std::printf("(Wine reports no handle or GUI object counts; they read 0 there.)\n");
    return 0;
}
