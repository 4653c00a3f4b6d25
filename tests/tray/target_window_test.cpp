// Hiding, restoring and showing real top-level windows by their exact title,
// or through WindowName.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"

#include <gtest/gtest.h>

#include <thread>

using namespace zanthel::test;

constexpr StringMember Hide = &_classTray::HideWindow, Show = &_classTray::ShowWindow;

TEST(TargetWindows, ExactTitleHidesRestoresAndShowsThatWindowOnly)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        TitledWindow target(L"Zanthel target window");
        Call(tray.Get(), Hide, L"Zanthel target");  // part of the title only
        EXPECT_TRUE(::IsWindowVisible(target.get()));
        Call(tray.Get(), Hide, L"Zanthel target window");
        EXPECT_FALSE(::IsWindowVisible(target.get()));
        Call(tray.Get(), Show, L"Zanthel target window");
        EXPECT_TRUE(::IsWindowVisible(target.get()));
        ::ShowWindow(target.get(), SW_MINIMIZE);
        Call(tray.Get(), Show, L"Zanthel target window");
        EXPECT_FALSE(::IsIconic(target.get()));
    });
}

TEST(TargetWindows, EmptyTitleActsOnlyOnTheWindowThatWindowNameNamed)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        TitledWindow untitled(L""), named(L"Zanthel named window"), other(L"Zanthel other window");
        // Above the shell's untitled topmost windows (its tray tool tip), so that
        // an empty-title look-up finds this one first.
        ::SetWindowPos(untitled.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_EQ(untitled.get(), ::FindWindowA(nullptr, ""));
        Call(tray.Get(), Hide, L"");  // WindowName never assigned
        Call(tray.Get(), &_classTray::put_WindowName, L"");
        Call(tray.Get(), Hide, L"");
        EXPECT_TRUE(::IsWindowVisible(untitled.get()));

        Call(tray.Get(), &_classTray::put_WindowName, L"Zanthel named window");
        Call(tray.Get(), Hide, L"");
        EXPECT_FALSE(::IsWindowVisible(named.get()));
        // Naming another window acts on it and leaves the WindowName target alone.
        Call(tray.Get(), Hide, L"Zanthel other window");
        Call(tray.Get(), Show, L"");
        EXPECT_TRUE(::IsWindowVisible(named.get()));
        EXPECT_FALSE(::IsWindowVisible(other.get()));
    });
}

// A title with an embedded NUL is not the title before the NUL.
TEST(TargetWindows, TitleWithAnEmbeddedNulMatchesNoWindow)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        TitledWindow target(L"Zanthel target");
        const std::wstring withNul(L"Zanthel target\0junk", 19);
        Call(tray.Get(), Hide, withNul);
        EXPECT_TRUE(::IsWindowVisible(target.get()));
        Call(tray.Get(), &_classTray::put_WindowName, withNul);
        Call(tray.Get(), Hide, L"");
        EXPECT_TRUE(::IsWindowVisible(target.get()));
    });
}

// The target's thread may not answer, or may be waiting for the caller: the
// call returns at once, and the window hides as soon as its thread pumps.
TEST(TargetWindows, AWindowOfAThreadThatDoesNotPumpDoesNotHoldTheCall)
{
    OnFreshApartment([] {
        auto tray = NewTray();
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr),
               go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool goInTime = false, visibleAfter = true;
        std::thread target([&] {
            TitledWindow window(L"Zanthel busy window");
            ::SetEvent(ready);
            // A call that waited for this thread would be released only by the time-out.
            goInTime = ::WaitForSingleObject(go, 10000) == WAIT_OBJECT_0;
            PumpMessages(std::chrono::milliseconds(200));
            visibleAfter = ::IsWindowVisible(window.get());
        });
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready, 10000));
        Call(tray.Get(), Hide, L"Zanthel busy window");
        ::SetEvent(go);
        target.join();
        EXPECT_TRUE(goInTime);
        EXPECT_FALSE(visibleAfter);
        ::CloseHandle(ready);
        ::CloseHandle(go);
    });
}
