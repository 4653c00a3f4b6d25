#include "support/dll_under_test.h"
#include "support/host.h"

#include <gtest/gtest.h>

using namespace zanthel::test;

TEST(Smoke, LeftPressOnIconSetsLeftMouse)
{
    ComApartment apartment;
    auto tray = NewTray();
    ASSERT_TRUE(tray);
    ASSERT_EQ(S_OK, tray->LoadTray());
    HWND host = HostWindowOfThisThread();
    ASSERT_TRUE(host);
    EXPECT_EQ(-1, SendTrayCallback(host, WM_LBUTTONDOWN));
    EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
    EXPECT_EQ(S_OK, tray->UnLoadTray());
}
