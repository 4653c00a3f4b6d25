// The icon's menu tree on its own: native commands apart from the host's
// identifiers, the bounds a hostile host meets, and radio groups.
#include "notify/icon_menu.h"

#include "support/fresh_apartment.h"
#include "support/imports.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

using namespace zanthel;
using namespace zanthel::test;

namespace {

constexpr LONG kTop = IconMenu::kTop;

Text T(const wchar_t* text)
{
    Text result;
    result.Assign(text);
    return result;
}

std::wstring Described()
{
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    BSTR text = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK) info->GetDescription(&text);
    return Text::Adopt(text).Chars();
}

// What the menu makes of a native command: "id,caption", or "none".
std::wstring Chosen(IconMenu& menu, UINT command)
{
    LONG id = 0;
    Text caption;
    return menu.Choose(command, id, caption) ? std::to_wstring(id) + L"," + caption.Chars() : L"none";
}

UINT CommandAt(HMENU menu, UINT position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID;
    ::GetMenuItemInfoW(menu, position, TRUE, &info);
    return info.wID;
}

// GetMenuItemInfoW through this program's import slot, counted.
int infoCalls = 0;
const auto realGetInfo = reinterpret_cast<decltype(&::GetMenuItemInfoW)>(
    reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetMenuItemInfoW")));
BOOL WINAPI CountedGetInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info)
{
    return ++infoCalls, realGetInfo(menu, item, byPosition, info);
}

}  // namespace

// A host that rebuilds its menu for months passes 65,535 identifiers; the
// popup's commands stay below the system's, and one that a shown popup may
// still report is not given to a new item until the popup closes.
TEST(IconMenuCommands, IdentifiersCountOnWhileNativeCommandsStayBelowTheSystemRange)
{
    OnFreshApartment([] {
        IconMenu menu;
        LONG id = 0;
        ASSERT_EQ(S_OK, menu.Add(kTop, T(L"Sub"), true, id));
        for (int cycle = 0; cycle < 70000; ++cycle) {
            ASSERT_EQ(S_OK, menu.Add(kTop, T(L"x"), cycle % 2 == 1, id));
            ASSERT_EQ(S_OK, menu.Remove(id));
        }
        ASSERT_EQ(S_OK, menu.Add(kTop, T(L"Last"), false, id));
        const UINT last = CommandAt(menu.Popup(), 1);
        EXPECT_TRUE(last >= 1 && last <= 0xEFFF) << last;
        EXPECT_EQ(L"70002,Last", Chosen(menu, last));
        menu.BeginPopup();
        ASSERT_EQ(S_OK, menu.Remove(id));
        ASSERT_EQ(S_OK, menu.Add(kTop, T(L"Next"), false, id));
        for (UINT command : {0u, last, CommandAt(menu.Popup(), 0), 0xF000u, 0xFFFFFFFFu})
            EXPECT_EQ(L"none", Chosen(menu, command)) << command;
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
        LONG parent = kTop, id = 0;
        for (UINT level = 1; level <= IconMenu::kMaxDepth; ++level)
            ASSERT_EQ(S_OK, menu.Add(parent, T(L"Deeper"), true, parent));
        EXPECT_EQ(E_INVALIDARG, menu.Add(parent, T(L"Too deep"), true, id));
        EXPECT_NE(std::wstring::npos, Described().find(L" 64 levels")) << Described();
        // The deepest submenu takes items, chosen from the menu that holds them.
        ASSERT_EQ(S_OK, menu.Add(parent, T(L"Deep"), false, id));
        HMENU deepest = menu.Popup();
        for (UINT level = 1; level <= IconMenu::kMaxDepth; ++level) deepest = ::GetSubMenu(deepest, 0);
        EXPECT_EQ(L"65,Deep", Chosen(menu, CommandAt(deepest, 0)));

        for (UINT entries = IconMenu::kMaxDepth + 1; entries < IconMenu::kMaxEntries; ++entries)
            ASSERT_EQ(S_OK, entries % 2 ? menu.AddSeparator(kTop) : menu.Add(kTop, T(L"x"), false, id));
        EXPECT_EQ(E_INVALIDARG, menu.AddSeparator(parent));
        EXPECT_NE(std::wstring::npos, Described().find(L" 16384 entries")) << Described();
        ASSERT_EQ(S_OK, menu.Remove(1));
        EXPECT_EQ(S_OK, menu.Add(kTop, T(L"Room again"), true, id));
    });
}

// A choice in a radio group of 10,000 moved its mark by a walk of the
// group per member: seconds; making the group took far longer.
TEST(IconMenuRadio, AGroupOfTenThousandIsMadeAndChosenInWithLinearlyManyMenuCalls)
{
    OnFreshApartment([] {
        IconMenu menu;
        std::vector<LONG> ids(10001);
        for (LONG& item : ids) ASSERT_EQ(S_OK, menu.Add(kTop, T(L"x"), false, item));
        ASSERT_EQ(S_OK, menu.Remove(ids[0]));  // the rest move up
        ids.erase(ids.begin());
        ReplaceImportIn(::GetModuleHandleW(nullptr), (const void*)realGetInfo, (const void*)&CountedGetInfo);
        // Checked items that join become the group's checked one in turn.
        for (size_t index : {5000u, 7000u}) EXPECT_EQ(S_OK, menu.SetChecked(ids[index], true));
        for (LONG item : ids) ASSERT_EQ(S_OK, menu.SetRadio(item, 1));
        EXPECT_EQ(std::to_wstring(ids.back()) + L",x", Chosen(menu, CommandAt(menu.Popup(), 9999)));
        ReplaceImportIn(::GetModuleHandleW(nullptr), (const void*)&CountedGetInfo, (const void*)realGetInfo);
        EXPECT_LT(infoCalls, 20000);
        std::vector<UINT> checked;
        for (UINT position = 0; position < ids.size(); ++position)
            if (::GetMenuState(menu.Popup(), position, MF_BYPOSITION) & MF_CHECKED) checked.push_back(position);
        EXPECT_EQ(std::vector<UINT>{9999}, checked);
    });
}
