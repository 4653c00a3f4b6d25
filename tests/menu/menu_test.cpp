#include "menu/clsMenu.h"
#include "menu/clsMenuBar.h"
#include "menu/menu_state.h"
#include "menu/modMenu.h"
#include "support/fresh_apartment.h"
#include "tray/frmTray.h"
#include "tray/tray_icon.h"
#include "tray/tray_state.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zanthel;
using namespace zanthel::test;

namespace {

HWND Host()
{
    Ref<frmTray> window;
    EXPECT_EQ(S_OK, ObtainHostWindow(window));
    return window ? window->Handle() : nullptr;
}

Text T(const wchar_t* text)
{
    Text result;
    EXPECT_EQ(S_OK, result.Assign(text));
    return result;
}

std::wstring Str(const Text& text) { return std::wstring(text.Chars(), text.Length()); }

// The menu routines as the component's members call them, with the apartment's window.
HRESULT AppendTrayMenu(const wchar_t* caption)
{
    Ref<frmTray> window;
    EXPECT_EQ(S_OK, ObtainHostWindow(window));
    return zanthel::AppendTrayMenu(*window.Get(), T(caption));
}

HRESULT DestroyMenuBar()
{
    Ref<frmTray> window;
    EXPECT_EQ(S_OK, ObtainHostWindow(window));
    return zanthel::DestroyMenuBar(*window.Get());
}

HMENU TrayPopup(HWND host) { return ::GetSubMenu(::GetMenu(host), 0); }

std::wstring Caption(LONG id)
{
    BSTR entry = nullptr;
    EXPECT_EQ(S_OK, MenuApartment()->gMenuCaptions.Entry(id, entry));
    return std::wstring(entry ? entry : L"", ::SysStringLen(entry));
}

LONG UpperBound()
{
    LONG upper = -1;
    EXPECT_EQ(S_OK, MenuApartment()->gMenuCaptions.UpperBound(upper));
    return upper;
}

std::wstring Label(HWND host)
{
    wchar_t text[128] = {};
    ::GetDlgItemTextW(host, frmTray::kLabelControlId, text, 128);
    return text;
}

void Command(HWND host, WPARAM wParam) { ::SendMessageW(host, WM_COMMAND, wParam, 0); }

}  // namespace

TEST(TrayMenu, LoadingTheWindowBindsTheBarAndTakesIdentifier70ForPop)
{
    OnFreshApartment([] {
        HWND host = Host();
        EXPECT_EQ(70, UpperBound());
        EXPECT_EQ(L"Pop", Caption(70));
        for (LONG id = 0; id < 70; ++id) EXPECT_EQ(L"", Caption(id)) << id;
        Ref<clsMenu> pop;
        ASSERT_EQ(S_OK, MenuApartment()->gMenuBar->SubMenu(0, pop));
        EXPECT_EQ(70, pop->Id);
        EXPECT_EQ(0, pop->Pos);
        EXPECT_EQ(1, pop->Count());
        EXPECT_EQ(L"Top", MenuItemText(TrayPopup(host), frmTray::kTopItemId));
    });
}

TEST(TrayMenu, FirstCaptionRenamesTopAndLaterOnesTakeIdentifiersFrom71)
{
    OnFreshApartment([] {
        HWND host = Host();
        ASSERT_EQ(S_OK, AppendTrayMenu(L"Show"));
        EXPECT_EQ(L"Show", Str(MenuApartment()->gTopCaption));
        EXPECT_EQ(L"Show", MenuItemText(TrayPopup(host), frmTray::kTopItemId));
        EXPECT_EQ(70, UpperBound()) << "the first caption takes no identifier";
        EXPECT_EQ(L"", Label(host));

        ASSERT_EQ(S_OK, AppendTrayMenu(L"-"));
        ASSERT_EQ(S_OK, AppendTrayMenu(L"Exit"));
        EXPECT_EQ(72, UpperBound());
        EXPECT_EQ(L"-", Caption(71));
        EXPECT_EQ(L"Exit", Caption(72));

        HMENU popup = TrayPopup(host);
        ASSERT_EQ(3, ::GetMenuItemCount(popup));
        EXPECT_EQ(MF_SEPARATOR, ::GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(72u, ::GetMenuItemID(popup, 2));
        EXPECT_EQ(L"Exit", MenuItemText(popup, 72));
        EXPECT_EQ(L"Pop contains 3 menu's", Label(host));
    });
}

TEST(TrayMenu, CommandsBecomeMenuEventText)
{
    OnFreshApartment([] {
        HWND host = Host();
        for (const wchar_t* caption : {L"Show", L"-", L"Exit", L"", L"Exit"}) AppendTrayMenu(caption);
        Text& eventText = TrayApartment()->gMenuEvent;
        auto event = [&] { return Str(eventText); };

        Command(host, 72);
        EXPECT_EQ(L"Exit,72", event());
        Command(host, 74);
        EXPECT_EQ(L"Exit,74", event()) << "the same caption twice is told apart by identifier";
        Command(host, 73);
        EXPECT_EQ(L",73", event());
        Command(host, 5);
        EXPECT_EQ(L",5", event()) << "the window's own range raises the event with an empty caption";
        Command(host, frmTray::kTopItemId);
        EXPECT_EQ(L"Show", event()) << "the window's own handling of Top writes last";

        eventText.Assign(L"unchanged");
        Command(host, MAKEWPARAM(72, EN_CHANGE));
        Command(host, 75);
        EXPECT_EQ(L"unchanged", event()) << "identifiers outside the table raise nothing";
    });
}

TEST(TrayMenu, TopBeforeAnyCaptionReportsTheSentinel)
{
    OnFreshApartment([] {
        Command(Host(), frmTray::kTopItemId);
        EXPECT_EQ(L"Zanthel", Str(TrayApartment()->gMenuEvent));
    });
}

TEST(TrayMenu, SentinelAndSeparatorRulesForTheFirstCaption)
{
    OnFreshApartment([] {
        HWND host = Host();
        AppendTrayMenu(L"Zanthel");
        AppendTrayMenu(L"-");
        EXPECT_EQ(L"-", MenuItemText(TrayPopup(host), frmTray::kTopItemId))
            << "a first caption equal to the sentinel is replaced by the next one";
        EXPECT_EQ(70, UpperBound());
        AppendTrayMenu(L"-");
        EXPECT_EQ(71, UpperBound()) << "a later separator takes an identifier";
    });
}

TEST(TrayMenu, DestroyMenuThenAppendStillRecordsCaptionsAndLeaksNoPopup)
{
    OnFreshApartment([] {
        HWND host = Host();
        AppendTrayMenu(L"Show");
        AppendTrayMenu(L"Earlier");
        ASSERT_EQ(S_OK, DestroyMenuBar());
        EXPECT_EQ(nullptr, ::GetMenu(host)) << "the window keeps no handle to its destroyed menu";
        // Menus made elsewhere may take the destroyed handles' values.
        HMENU elsewhere = ::CreateMenu(), elsewherePopup = ::CreatePopupMenu();
        ::AppendMenuW(elsewhere, MF_POPUP, reinterpret_cast<UINT_PTR>(elsewherePopup), L"Elsewhere");

        ASSERT_EQ(S_OK, AppendTrayMenu(L"Later"));
        EXPECT_EQ(L"Later", Caption(72));
        EXPECT_EQ(L"Pop contains -1 menu's", Label(host));
        EXPECT_EQ(0, ::GetMenuItemCount(elsewherePopup));
        ::DestroyMenu(elsewhere);

        Ref<clsMenu> pop, earlier, child;
        ASSERT_EQ(S_OK, MenuApartment()->gMenuBar->SubMenu(0, pop));
        ASSERT_EQ(S_OK, pop->SubMenu(0, earlier));
        ASSERT_EQ(S_OK, pop->SubMenu(1, child));
        EXPECT_EQ(72, child->Id);
        // No node keeps a destroyed menu's handle, nor one of a popup attached nowhere.
        for (const Ref<clsMenu>& node : {pop, earlier, child}) EXPECT_EQ(nullptr, node->hwnd) << node->Id;
    });
}

TEST(TrayMenu, FirstChildOfANodeWithoutPopupCreatesOneAndShowsDashAsText)
{
    OnFreshApartment([] {
        HWND host = Host();
        clsMenuBar* bar = MenuApartment()->gMenuBar.Get();
        ASSERT_EQ(S_OK, bar->AddMenu(T(L"Tools")));
        Ref<clsMenu> tools;
        ASSERT_EQ(S_OK, bar->SubMenu(1, tools));
        EXPECT_EQ(71, tools->Id);

        ASSERT_EQ(S_OK, tools->AddMenu(T(L"-")));
        Ref<clsMenu> child;
        ASSERT_EQ(S_OK, tools->SubMenu(0, child));
        ASSERT_TRUE(::IsMenu(child->hwnd));
        EXPECT_EQ(L"-", MenuItemText(child->hwnd, 72));
        EXPECT_EQ(0u, ::GetMenuState(child->hwnd, 0, MF_BYPOSITION) & MF_SEPARATOR);

        // Position 0 holds the tray popup and 1 the entry "Pop"; "Tools" follows.
        EXPECT_EQ(child->hwnd, ::GetSubMenu(::GetMenu(host), 2)) << "the entry now opens the new popup";
    });
}

TEST(TrayMenu, CloseTakesBothHooksOutAndTheApartmentForgetsTheWindow)
{
    OnFreshApartment([] {
        HWND host = Host();
        HookTrayWindow(host);
        static WNDPROC procedureAtDestroy;
        static HWND watched;
        procedureAtDestroy = nullptr;
        watched = host;
        HHOOK hook = ::SetWindowsHookExW(
            WH_CALLWNDPROC,
            [](int code, WPARAM wParam, LPARAM lParam) WINAPI -> LRESULT {
                auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
                if (code == HC_ACTION && message->message == WM_DESTROY && message->hwnd == watched)
                    procedureAtDestroy = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(message->hwnd, GWLP_WNDPROC));
                return ::CallNextHookEx(nullptr, code, wParam, lParam);
            },
            nullptr, ::GetCurrentThreadId());
        const auto ownProcedure = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(host, GCLP_WNDPROC));

        ::SendMessageW(host, WM_CLOSE, 0, 0);
        ::UnhookWindowsHookEx(hook);
        EXPECT_EQ(ownProcedure, procedureAtDestroy);
        EXPECT_FALSE(::IsWindow(host));
        EXPECT_FALSE(TrayApartment()->hostWindow);
        EXPECT_FALSE(TrayApartment()->gTrayHooked);

        HWND next = Host();
        EXPECT_NE(host, next);
        EXPECT_EQ(70, UpperBound()) << "the new window's bar starts again at 70";
    });
}

// A thread that ends without ending its apartment leaves windows whose hooks
// find no state: every message must still reach the window's own procedure.
TEST(TrayMenu, HooksPassEveryMessageOnOnceTheApartmentIsGone)
{
    OnFreshApartment([] {
        static std::vector<UINT> reached;
        reached.clear();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) WINAPI -> LRESULT {
            if (msg == WM_APP || msg == WM_NCDESTROY) reached.push_back(msg);
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        };
        windowClass.lpszClassName = L"ZanthelHookedByTest";
        ::RegisterClassW(&windowClass);
        HWND window =
            ::CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        Ref<clsMenuBar> bar;
        ASSERT_EQ(S_OK, clsMenuBar::Construct(bar));
        ASSERT_EQ(S_OK, bar->Create(window));
        ASSERT_EQ(S_OK, HookTrayWindow(window));

        AbandonApartment();
        ::SendMessageW(window, WM_APP, 0, 0);
        ::DestroyWindow(window);
        EXPECT_EQ((std::vector<UINT>{WM_APP, WM_NCDESTROY}), reached);
    });
}

// Binding the bar to its window again must not save the hook as its own
// predecessor, which would recurse on the next message.
TEST(TrayMenu, BindingTheSameWindowTwiceHooksItOnce)
{
    OnFreshApartment([] {
        HWND host = Host();
        HookTrayWindow(host);
        ASSERT_EQ(S_OK, MenuApartment()->gMenuBar->Create(host));
        ASSERT_EQ(S_OK, AppendTrayMenu(L"Show"));
        ASSERT_EQ(S_OK, AppendTrayMenu(L"Exit"));
        Command(host, 70);  // binding again cut the table back to 69
        EXPECT_EQ(L"Exit,70", Str(TrayApartment()->gMenuEvent));
        ::SendMessageW(host, WM_CLOSE, 0, 0);
        EXPECT_FALSE(::IsWindow(host));
    });
}
