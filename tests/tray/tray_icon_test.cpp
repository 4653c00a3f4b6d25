// The notification-area icon: the record the shell receives, what the
// notification area holds afterwards, and the icon picture.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace zanthel::test;

namespace {

// The record before the shell's later extensions: 88 bytes, 104 on x64.
constexpr DWORD kFirstFormSize = offsetof(NOTIFYICONDATAA, szTip) + 64;

// Whether the notification area still held the icon; it is gone afterwards.
bool TrayStillHad(NOTIFYICONDATAA added) { return ShellRecorderA::RealShell(NIM_DELETE, &added); }

}  // namespace

TEST(TrayIcon, TheShellGetsTheHostWindowItsCallbackAndATerminatedTip)
{
    OnFreshApartment([] {
        ShellRecorderA shell(Dll());
        auto tray = NewTray();
        auto tipAfterLoadTray = [&](const std::wstring& tip) {
            Call(tray.Get(), &_classTray::put_ToolTipName, tip);
            EXPECT_EQ(S_OK, tray->LoadTray());
            EXPECT_EQ(S_OK, tray->UnLoadTray());
            return std::string(shell.calls.at(shell.calls.size() - 2).record.szTip, 64);
        };
        EXPECT_EQ(std::string("Zanthel demo") + '\0' + std::string(51, ' '), tipAfterLoadTray(L"Zanthel demo"));
        ASSERT_EQ(2u, shell.calls.size());
        const NOTIFYICONDATAA& added = shell.calls[0].record;
        EXPECT_EQ(static_cast<DWORD>(NIM_ADD), shell.calls[0].message);
        EXPECT_EQ(kFirstFormSize, added.cbSize);
        EXPECT_EQ(HostWindowOfThisThread(), added.hWnd);
        EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), added.uFlags);
        EXPECT_EQ(static_cast<UINT>(WM_RBUTTONUP), added.uCallbackMessage);
        EXPECT_EQ(static_cast<UINT>(reinterpret_cast<UINT_PTR>(added.hIcon)), added.uID);
        EXPECT_FALSE(TrayStillHad(added));
        // 63 characters show in full; a longer tip is cut to 63 and still ends.
        const std::string full = std::string(63, 'a') + '\0';
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(63, L'a')));
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(70, L'a')));
    });
}

TEST(TrayIcon, PicturesFallBackToTheBuiltInIconAndNoneOutlivesUnLoadTray)
{
    OnFreshApartment([] {
        ShellRecorderA shell(Dll());
        TempFile icon(L"zanthel_tray_picture.ico", IconFileBytes());
        TempFile bitmap(L"zanthel_tray_picture.bmp", BitmapFileBytes());
        auto tray = NewTray();
        std::vector<NOTIFYICONDATAA> shown;
        for (const std::wstring& path :
             {std::wstring(), icon.path(), bitmap.path(), std::wstring(L"C:\\no\\such.ico")}) {
            const size_t calls = shell.calls.size();
            if (!path.empty()) Call(tray.Get(), &_classTray::put_TrayIcon, path);
            EXPECT_EQ(calls, shell.calls.size());  // the shown icon stays until the next LoadTray
            ASSERT_EQ(S_OK, tray->LoadTray());
            shown.push_back(shell.calls.back().record);
        }
        ASSERT_EQ(S_OK, tray->UnLoadTray());
        const HICON builtIn = shown[0].hIcon;
        EXPECT_TRUE(shown[1].hIcon && shown[1].hIcon != builtIn);
        EXPECT_NE(shown[0].uID, shown[1].uID);  // a new picture is a new identifier
        EXPECT_EQ(builtIn, shown[2].hIcon);
        EXPECT_EQ(builtIn, shown[3].hIcon);
        for (const NOTIFYICONDATAA& record : shown) EXPECT_FALSE(TrayStillHad(record));
    });
}

TEST(TrayIcon, HostWindowClosedFromOutsideIsForgottenAndReplaced)
{
    OnFreshApartment([] {
        ShellRecorderA shell(Dll());
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND closed = HostWindowOfThisThread();
        const NOTIFYICONDATAA shown = shell.calls.back().record;
        ::SendMessageW(closed, WM_CLOSE, 0, 0);
        EXPECT_EQ(nullptr, HostWindowOfThisThread());
        EXPECT_FALSE(TrayStillHad(shown));

        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND fresh = HostWindowOfThisThread();
        ASSERT_TRUE(::IsWindow(fresh));
        EXPECT_EQ(fresh, shell.calls.back().record.hWnd);
        EXPECT_EQ(-1, SendTrayCallback(fresh, WM_LBUTTONDOWN));  // hooked again
        EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
    });
}

// The apartment's last CoUninitialize ends its state: the icon leaves the
// notification area, the window and its pictures go, and a new apartment on
// the same thread starts empty. A thread that never ends its apartment, and
// a window closed from outside, still take their icon and GDI objects along.
TEST(TrayIcon, EndingTheApartmentOrThreadTakesTheIconWindowPicturesAndState)
{
    ShellRecorderA shell(Dll());
    auto hostThread = [](bool uninitialize) {
        std::wstring eventAfter = L"not read";
        std::thread([&] {
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            {
                auto tray = NewTray();
                SetMenuEvent(tray.Get(), L"before");
                EXPECT_EQ(S_OK, tray->LoadTray());
            }
            if (!uninitialize) return;
            const HWND host = HostWindowOfThisThread();
            ::CoUninitialize();
            EXPECT_FALSE(::IsWindow(host));
            ComApartment again;
            eventAfter = MenuEvent(NewTray().Get());
            EXPECT_EQ(nullptr, HostWindowOfThisThread());
        }).join();
        return eventAfter;
    };
    hostThread(true);  // the first window loads what every later one shares
    const int gdiBefore = LiveGdiObjects();
    for (bool uninitialize : {true, true, false, false}) {
        const size_t calls = shell.calls.size();
        const std::wstring eventAfter = hostThread(uninitialize);
        ASSERT_LT(calls, shell.calls.size());
        EXPECT_FALSE(TrayStillHad(shell.calls[calls].record)) << "uninitialize " << uninitialize;
        if (uninitialize) {
            EXPECT_EQ(L"", eventAfter) << "a new apartment starts with an empty event";
        }
    }
    // Host windows closed from outside go with their pictures too.
    std::thread([] {
        ComApartment apartment;
        auto tray = NewTray();
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(S_OK, tray->LoadTray());
            ::SendMessageW(HostWindowOfThisThread(), WM_CLOSE, 0, 0);
        }
    }).join();
    EXPECT_EQ(gdiBefore, LiveGdiObjects());
}

// The shell announces a restart with "TaskbarCreated"; a shown icon comes
// back with the record it was added with and a live icon handle, even when
// TrayIcon has changed since; a removed one stays away.
TEST(TrayIcon, ComesBackWhenTheShellRestarts)
{
    OnFreshApartment([] {
        ShellRecorderA shell(Dll());
        TempFile icon(L"zanthel_restart.ico", IconFileBytes());
        auto tray = NewTray();
        Call(tray.Get(), &_classTray::put_TrayIcon, icon.path());
        ASSERT_EQ(S_OK, tray->LoadTray());
        Call(tray.Get(), &_classTray::put_TrayIcon, L"");
        const NOTIFYICONDATAA shown = shell.calls.back().record;
        const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
        auto broadcast = [&] {
            ::SendMessageTimeoutA(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        };
        ASSERT_TRUE(TrayStillHad(shown));  // the shell restarting: its icons are gone
        size_t calls = shell.calls.size();
        broadcast();
        ASSERT_EQ(calls + 1, shell.calls.size());
        EXPECT_EQ(static_cast<DWORD>(NIM_ADD), shell.calls.back().message);
        EXPECT_EQ(0, std::memcmp(&shown, &shell.calls.back().record, sizeof shown));
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(shown.hIcon, &info)) << "the icon came back with a destroyed handle";
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        EXPECT_TRUE(TrayStillHad(shown)) << "the icon is back";

        EXPECT_EQ(S_OK, tray->UnLoadTray());
        calls = shell.calls.size();
        broadcast();
        EXPECT_EQ(calls, shell.calls.size()) << "an unloaded icon came back";
    });
}
