// The hidden host window as a host program meets it: the icon's callbacks,
// the tray popup, the members' read-back and the per-apartment state.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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

// A right press on the icon that runs inside(popup) in the popup's modal
// loop; the popup is closed afterwards in any case, so nothing can hang in it.
LRESULT RightPressWithPopup(HWND host, std::function<void(HWND)> inside)
{
    auto ran = std::make_shared<bool>(false);
    RunSoon(300ms, [ran, inside] {
        inside(OpenPopupMenuWindow());
        *ran = true;
    });
    RunSoon(2500ms, [] { ::EndMenu(); });
    LRESULT result = SendTrayCallback(host, WM_RBUTTONDOWN);
    EXPECT_TRUE(PumpUntil([ran] { return *ran; }, 3s));
    return result;
}

}  // namespace

TEST(TrayCallbacks, LeftPressIsConsumedAndOtherActionsPassOnceThroughTheHook)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        Bstr missing(L"C:\\no\\such\\icon.ico");
        ASSERT_EQ(S_OK, tray->put_TrayIcon(&missing));  // creates the host window
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

TEST(TrayCallbacks, RightPressOpensTheTrayPopupFromTheForegroundAndLeavesTheEvent)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND host = HostWindowOfThisThread();
        SetMenuEvent(tray.Get(), L"earlier");
        HWND foreground = nullptr;
        HMENU shown = nullptr;
        wchar_t first[16] = {};
        EXPECT_EQ(-1, RightPressWithPopup(host, [&](HWND popup) {
            foreground = ::GetForegroundWindow();
            shown = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
            ::GetMenuStringW(shown, 0, first, 16, MF_BYPOSITION);
            ::EndMenu();
        }));
        EXPECT_EQ(host, foreground);
        EXPECT_FALSE(::IsWindowVisible(host));
        EXPECT_TRUE(shown && shown == ::GetSubMenu(::GetMenu(host), 0));
        EXPECT_STREQ(L"Top", first);
        EXPECT_EQ(L"earlier", MenuEvent(tray.Get()));
    });
}

TEST(TrayCallbacks, ChoosingTheFirstItemGivesTheSentinelThenTheFirstCaption)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND host = HostWindowOfThisThread();
        RightPressWithPopup(host, [](HWND popup) {  // chosen with the keys, as a user may
            ::PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_TRUE(PumpUntil([&] { return MenuEvent(tray.Get()) == L"Zanthel"; }, 2s));

        Bstr show(L"Show");
        ASSERT_EQ(S_OK, tray->AppendMenu(&show));
        ::PostMessageW(host, WM_COMMAND, 1 /* mnuTop */, 0);
        EXPECT_TRUE(PumpUntil([&] { return MenuEvent(tray.Get()) == L"Show"; }, 2s));
    });
}

TEST(Members, ReadBackWhatWasAssignedAndTreatANullStringAsEmpty)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        EXPECT_EQ(S_OK, tray->UnLoadTray());  // before any LoadTray: harmless
        using Put = HRESULT (STDMETHODCALLTYPE _classTray::*)(BSTR*);
        const std::pair<Put, Put> properties[] = {{&_classTray::put_WindowName, &_classTray::get_WindowName},
                                                  {&_classTray::put_ToolTipName, &_classTray::get_ToolTipName},
                                                  {&_classTray::put_TrayIcon, &_classTray::get_TrayIcon}};
        for (auto [put, get] : properties) {
            Bstr assigned(L"No window has this title"), null, readBack, readNull;
            EXPECT_EQ(S_OK, (tray.Get()->*put)(&assigned));
            EXPECT_EQ(S_OK, (tray.Get()->*get)(&readBack));
            EXPECT_EQ(assigned.str(), readBack.str());
            EXPECT_EQ(S_OK, (tray.Get()->*put)(&null));
            EXPECT_EQ(S_OK, (tray.Get()->*get)(&readNull));
            EXPECT_EQ(L"", readNull.str());
        }
        SetMenuEvent(tray.Get(), L"Exit,72");
        EXPECT_EQ(L"Exit,72", MenuEvent(tray.Get()));
        EXPECT_EQ(L"Exit,72", MenuEvent(tray.Get()));  // reading does not clear
        Bstr handle(L"x"), null;
        ASSERT_EQ(S_OK, tray->CreateTray(&handle));
        EXPECT_EQ(L"x", MenuEvent(tray.Get()));
        ASSERT_EQ(S_OK, tray->put_mnuEvent(&null));
        EXPECT_EQ(L"", MenuEvent(tray.Get()));
    });
}

TEST(Apartments, TwoObjectsOnOneThreadShareTheHostWindowAndTheEvent)
{
    OnFreshApartment([] {
        auto first = NewTray(), second = NewTray();
        ASSERT_EQ(S_OK, first->LoadTray());
        HWND host = HostWindowOfThisThread();
        ASSERT_EQ(S_OK, second->LoadTray());
        EXPECT_EQ(host, HostWindowOfThisThread());
        SendTrayCallback(host, WM_LBUTTONDOWN);
        EXPECT_EQ(L"LeftMouse", MenuEvent(second.Get()));
        SetMenuEvent(second.Get(), L"");
        EXPECT_EQ(L"", MenuEvent(first.Get()));
    });
}

TEST(Apartments, EachThreadHasItsOwnHostWindowAndEvent)
{
    std::atomic<int> loaded{0};
    HWND hosts[2] = {};
    std::wstring events[2];
    auto host = [&](int i) {
        ComApartment apartment;
        auto tray = NewTray();
        EXPECT_EQ(S_OK, tray->LoadTray());
        hosts[i] = HostWindowOfThisThread();
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
