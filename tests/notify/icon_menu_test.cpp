// The icon's menu tree on its own: native commands apart from the host's
// identifiers, the bounds a hostile host meets, and radio groups.
#include "notify/icon_menu.h"

#include "support/fresh_apartment.h"
#include "support/errors.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zanthel;
using namespace zanthel::test;

namespace {

Text T(const wchar_t* text) { return Text::Adopt(::SysAllocString(text)); }

// What the menu makes of the native command of an item: "id,caption", or "none".
std::wstring Chosen(IconMenu& menu, UINT command)
{
    LONG id = 0;
    Text caption;
    return menu.Choose(command, id, caption) ? std::to_wstring(id) + L"," + caption.Chars() : L"none";
}

UINT CommandAt(HMENU menu, UINT position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info), info.fMask = MIIM_ID;
    return ::GetMenuItemInfoW(menu, position, TRUE, &info) ? info.wID : 0;
}

// CheckMenuItem and GetMenuItemInfoW through this program's import slots, counted.
int menuCalls = 0;
const auto realCheck = SystemFunction<decltype(::CheckMenuItem)>(L"user32.dll", "CheckMenuItem");
const auto realGetInfo = SystemFunction<decltype(::GetMenuItemInfoW)>(L"user32.dll", "GetMenuItemInfoW");
DWORD WINAPI CountedCheck(HMENU menu, UINT item, UINT flags) { return ++menuCalls, realCheck(menu, item, flags); }
BOOL WINAPI CountedGetInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info)
{
    return ++menuCalls, realGetInfo(menu, item, byPosition, info);
}

}  // namespace

// A host that rebuilds its menu for months passes 65,535 identifiers; commands stay
// below the system's, and a shown popup's are not given again until it closes.
TEST(IconMenuCommands, IdentifiersCountOnWhileNativeCommandsStayBelowTheSystemRange)
{
    OnFreshApartment([] {
        IconMenu menu;
        LONG id = 0;
        ASSERT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"Sub"), true, id));
        for (int cycle = 0; cycle < 70000; ++cycle) {
            ASSERT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"x"), cycle % 2 == 1, id));
            ASSERT_EQ(S_OK, menu.Remove(id));
        }
        ASSERT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"Last"), false, id));
        const UINT last = CommandAt(menu.Popup(), 1);
        EXPECT_TRUE(last >= 1 && last <= 0xEFFF) << last;
        EXPECT_EQ(L"70002,Last", Chosen(menu, last));
        menu.BeginPopup();
        ASSERT_EQ(S_OK, menu.Remove(id));
        ASSERT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"Next"), false, id));
        for (UINT command : {0u, last, 0xF000u, 0xFFFFFFFFu}) EXPECT_EQ(L"none", Chosen(menu, command)) << command;
        menu.EndPopup();
        EXPECT_EQ(L"70003,Next", Chosen(menu, CommandAt(menu.Popup(), 1)));
    });
}

// Deeper submenus overflow the stack inside the system's menu calls, and
// the handles of more would run dry for every process on the desktop.
TEST(IconMenuBounds, TheDepthAndTheEntriesOfAHostileTreeAreBoundedAndNamed)
{
    OnFreshApartment([] {
        IconMenu menu;
        LONG parent = IconMenu::kTop, id = 0;
        for (UINT level = 1; level <= IconMenu::kMaxDepth; ++level)
            ASSERT_EQ(S_OK, menu.Add(parent, T(L"Deeper"), true, parent));
        EXPECT_EQ(E_INVALIDARG, menu.Add(parent, T(L"Too deep"), true, id));
        const std::wstring tooDeep = LayerDescription();
        EXPECT_NE(std::wstring::npos, tooDeep.find(L" 64 levels")) << tooDeep;
        // The deepest submenu takes items, chosen from the menu that holds them.
        ASSERT_EQ(S_OK, menu.Add(parent, T(L"Deep"), false, id));
        HMENU deepest = menu.Popup();
        for (UINT level = 1; level <= IconMenu::kMaxDepth; ++level) deepest = ::GetSubMenu(deepest, 0);
        EXPECT_EQ(L"65,Deep", Chosen(menu, CommandAt(deepest, 0)));
        for (UINT entries = IconMenu::kMaxDepth + 1; entries < IconMenu::kMaxEntries; ++entries)
            ASSERT_EQ(S_OK,
                      entries % 2 ? menu.AddSeparator(IconMenu::kTop) : menu.Add(IconMenu::kTop, T(L"x"), false, id));
        EXPECT_EQ(E_INVALIDARG, menu.AddSeparator(parent));
        const std::wstring tooMany = LayerDescription();
        EXPECT_NE(std::wstring::npos, tooMany.find(L" 16384 entries")) << tooMany;
        ASSERT_EQ(S_OK, menu.Remove(1));
        EXPECT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"Room again"), true, id));
    });
}

// A choice in a radio group of 10,000 moved its mark by a walk of the
// group per member: seconds; making the group took far longer.
TEST(IconMenuRadio, AGroupOfTenThousandIsMadeAndChosenInWithLinearlyManyMenuCalls)
{
    OnFreshApartment([] {
        IconMenu menu;
        std::vector<LONG> ids(10001);
        for (LONG& item : ids) ASSERT_EQ(S_OK, menu.Add(IconMenu::kTop, T(L"x"), false, item));
        ASSERT_EQ(S_OK, menu.Remove(ids[0]));  // the rest move up
        ids.erase(ids.begin());
        {
            ImportSpy check(ThisProgram(), realCheck, &CountedCheck);
            ImportSpy getInfo(ThisProgram(), realGetInfo, &CountedGetInfo);
            // Checked items that join become the group's checked one in turn.
            for (size_t index : {5000u, 7000u}) EXPECT_EQ(S_OK, menu.SetChecked(ids[index], true));
            for (LONG item : ids) ASSERT_EQ(S_OK, menu.SetRadio(item, 1));
            EXPECT_EQ(std::to_wstring(ids.back()) + L",x", Chosen(menu, CommandAt(menu.Popup(), 9999)));
        }
        EXPECT_LT(menuCalls, 30000);
        for (UINT position : {5000u, 7000u, 9999u})
            EXPECT_EQ(position == 9999, (::GetMenuState(menu.Popup(), position, MF_BYPOSITION) & MF_CHECKED) != 0);
    });
}
