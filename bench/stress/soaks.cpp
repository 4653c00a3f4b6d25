#include "soaks.h"

#include "shell_stub.h"
#include "support/dll_under_test.h"
#include "support/host.h"

#include <cstdio>
#include <functional>

namespace zanthel::bench {
namespace {

using test::Bstr;
using test::ComPtr;

DWORD WINAPI ApartmentThread(void*)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<_classTray> tray = test::NewTray();
        if (tray) {
            tray->LoadTray();
            tray->UnLoadTray();
        }
    }
    ::CoUninitialize();
    return 0;
}

long long PerThousand(long long growth, long rounds) { return growth * 1000 / rounds; }

}  // namespace

bool RunSoak(const std::string& name, long rounds, bool realShell)
{
    test::ComApartment apartment;
    test::TempFile iconFile(L"zanthel-soak-" + std::to_wstring(::GetCurrentProcessId()) + L".ico",
                            test::IconFileBytes());
    if (!realShell && !StubShellNotifyIcon(test::Dll())) {
        std::fprintf(stderr, "Zanthel.dll does not import Shell_NotifyIconA\n");
        return false;
    }
    ComPtr<_classTray> tray = test::NewTray();
    if (!tray) return false;
    Bstr icon(iconFile.path()), caption(L"Soak item");

    std::function<void()> round;
    if (name == "create") {
        round = [] { test::NewTray(); };
    } else if (name == "icon") {
        round = [&] {
            tray->put_TrayIcon(&icon);
            tray->LoadTray();
            tray->AppendMenu(&caption);
            tray->DestroyMenu();
            tray->UnLoadTray();
        };
    } else if (name == "threads") {
        round = [] {
            HANDLE thread = ::CreateThread(nullptr, 0, &ApartmentThread, nullptr, 0, nullptr);
            ::WaitForSingleObject(thread, INFINITE);
            ::CloseHandle(thread);
        };
    } else if (name == "windows") {
        tray->LoadTray();
        tray->UnLoadTray();
        round = [&] {
            // As a host's own window code or a shutdown might close it.
            if (HWND host = test::HostWindowOfThisThread()) ::SendMessageW(host, WM_CLOSE, 0, 0);
            tray->AppendMenu(&caption);
            tray->LoadTray();
            tray->UnLoadTray();
        };
    } else {
        std::fprintf(stderr, "no soak named %s\n", name.c_str());
        return false;
    }

    // Caches, the first host window and first-use allocations settle first.
    const long warm = rounds / 50 + 3;
    for (long i = 0; i < warm; ++i) round();
    test::PumpMessages(std::chrono::milliseconds(0));
    const test::Census before = test::TakeCensus();
    const ShellCounts shellBefore = StubbedShellCounts();
    const DWORD started = ::GetTickCount();
    for (long i = 0; i < rounds; ++i) {
        round();
        if (i % 16 == 0) test::PumpMessages(std::chrono::milliseconds(0));
    }
    test::PumpMessages(std::chrono::milliseconds(0));
    const double seconds = (::GetTickCount() - started) / 1000.0;
    const test::Census after = test::TakeCensus();
    const ShellCounts shellAfter = StubbedShellCounts();

    std::printf("soak %s: rounds=%ld heap_bytes/1000=%+lld icons/1000=%+lld bitmaps/1000=%+lld menus/1000=%+lld",
                name.c_str(), rounds, PerThousand(after.heapBytes - before.heapBytes, rounds),
                PerThousand(after.icons - before.icons, rounds), PerThousand(after.bitmaps - before.bitmaps, rounds),
                PerThousand(after.menus - before.menus, rounds));
    if (realShell) {
        std::printf(" tray_icons_left=n/a");
    } else {
        std::printf(" tray_icons/1000=%+lld tray_icons_left=%ld",
                    PerThousand(shellAfter.shown - shellBefore.shown, rounds), shellAfter.shown);
    }
    std::printf(" seconds=%.1f\n", seconds);
    return true;
}

}  // namespace zanthel::bench
