// The hidden host window as a host program meets it: the icon's callbacks,
// the tray popup, null strings and the per-apartment state.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace zanthel::test;
using namespace std::chrono_literals;

namespace {

// Sits behind the tray hook and records the icon callbacks that get past it.
std::vector<LPARAM> passedOn;
WNDPROC behindProbe = nullptr;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_RBUTTONUP) passedOn.push_back(lParam);
    return ::CallWindowProcA(behindProbe, hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(TrayCallbacks, LeftPressIsConsumedAndOtherActionsPassOnceThroughTheHook)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        Call(tray.Get(), &_classTray::put_TrayIcon, L"C:\\no\\such\\icon.ico");  // creates the host window
        HWND host = HostWindowOfThisThread();
        passedOn.clear();
        behindProbe =
            reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProbeProc)));
        ASSERT_EQ(S_OK, tray->LoadTray());
        const LONG_PTR hook = ::GetWindowLongPtrA(host, GWLP_WNDPROC);
        ASSERT_EQ(S_OK, tray->LoadTray());  // must not hook a second time
        EXPECT_EQ(hook, ::GetWindowLongPtrA(host, GWLP_WNDPROC));

        EXPECT_EQ(-1, SendTrayCallback(host, WM_LBUTTONDOWN));
        EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
        SetMenuEvent(tray.Get(), L"");
        const std::vector<LPARAM> others{WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_LBUTTONUP};
        for (LPARAM action : others) SendTrayCallback(host, action);
        EXPECT_EQ(others, passedOn);
        EXPECT_EQ(L"", MenuEvent(tray.Get()));
    });
}

// Real clicks choose items from the popup; this checks what they cannot see.
TEST(TrayCallbacks, RightPressOpensTheTrayPopupFromTheForegroundAndLeavesTheEvent)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND host = HostWindowOfThisThread();
        SetMenuEvent(tray.Get(), L"earlier");
        HWND foreground = nullptr;
        HMENU shown = nullptr;
        RunSoon(300ms, [&] {
            foreground = ::GetForegroundWindow();
            shown = reinterpret_cast<HMENU>(::SendMessageW(OpenPopupMenuWindow(), MN_GETHMENU, 0, 0));
            ::EndMenu();
        });
        RunSoon(2500ms, [] { ::EndMenu(); });  // nothing may hang in the popup's loop
        EXPECT_EQ(-1, SendTrayCallback(host, WM_RBUTTONDOWN));
        EXPECT_EQ(host, foreground);
        EXPECT_FALSE(::IsWindowVisible(host));
        EXPECT_TRUE(shown && shown == ::GetSubMenu(::GetMenu(host), 0));
        EXPECT_EQ(L"Top", MenuItemText(shown, 1));
        EXPECT_EQ(L"earlier", MenuEvent(tray.Get()));
    });
}

// Another thread or process may send the host window any message: a forged
// WM_NCCREATE (even with no create data) or WM_NCDESTROY changes nothing.
TEST(TrayCallbacks, ForgedCreateAndDestroyMessagesChangeNothing)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND host = HostWindowOfThisThread();
        std::atomic<bool> sent{false};
        std::thread forger([&] {
            for (UINT message : {WM_NCCREATE, WM_NCDESTROY})
                ::SendMessageTimeoutW(host, message, 0, 0, SMTO_NORMAL, 5000, nullptr);
            sent = true;
        });
        PumpUntil([&] { return sent.load(); });
        forger.join();
        EXPECT_EQ(host, HostWindowOfThisThread());
        EXPECT_EQ(-1, SendTrayCallback(host, WM_LBUTTONDOWN)) << "the icon's callbacks still reach the component";
        EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
        EXPECT_EQ(S_OK, tray->UnLoadTray());
    });
}

TEST(Members, TakeANullStringAsEmpty)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        EXPECT_EQ(S_OK, tray->UnLoadTray());  // before any LoadTray: harmless
        const std::pair<StringMember, StringMember> properties[] = {
            {&_classTray::put_WindowName, &_classTray::get_WindowName},
            {&_classTray::put_ToolTipName, &_classTray::get_ToolTipName},
            {&_classTray::put_TrayIcon, &_classTray::get_TrayIcon},
            {&_classTray::put_mnuEvent, &_classTray::get_mnuEvent}};
        for (auto [put, get] : properties) {
            Bstr null, read;
            Call(tray.Get(), put, L"No window has this title");
            EXPECT_EQ(S_OK, (tray.Get()->*put)(&null));
            EXPECT_EQ(S_OK, (tray.Get()->*get)(&read));
            EXPECT_EQ(L"", read.str());
        }
    });
}

// The VBScript client shows that objects of one thread share the event text.
TEST(Apartments, EachThreadHasOneHostWindowAndEventOfItsOwn)
{
    std::atomic<int> loaded{0};
    HWND hosts[2] = {};
    std::wstring events[2];
    auto host = [&](int i) {
        ComApartment apartment;
        auto tray = NewTray(), second = NewTray();
        EXPECT_EQ(S_OK, tray->LoadTray());
        hosts[i] = HostWindowOfThisThread();
        EXPECT_EQ(S_OK, second->LoadTray());
        EXPECT_EQ(hosts[i], HostWindowOfThisThread());
        if (i == 0 && hosts[0]) SendTrayCallback(hosts[0], WM_LBUTTONDOWN);
        ++loaded;
        PumpUntil([&] { return loaded == 2; }, 5s);  // both windows live at once
        events[i] = MenuEvent(tray.Get());
    };
    std::thread a(host, 0), b(host, 1);
    a.join();
    b.join();
    EXPECT_TRUE(hosts[0] && hosts[1] && hosts[0] != hosts[1]);
    EXPECT_EQ(L"LeftMouse", events[0]);
    EXPECT_EQ(L"", events[1]);
}
