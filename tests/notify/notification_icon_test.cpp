// The notification icon as the component drives it: the shell's version-4
// callbacks, the popup, the queue, what the shell is told, and the icon's end.
#include "notify/notification_icon.h"

#include "common/apartment.h"
#include "support/fresh_apartment.h"
#include "support/errors.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace zanthel;
using namespace zanthel::test;
using namespace std::chrono_literals;

namespace {

Text T(const std::wstring& text)
{
    Text result;
    result.Assign(text.data(), static_cast<UINT>(text.size()));
    return result;
}

std::wstring S(const Text& text) { return std::wstring(text.Chars(), text.Length()); }

Ref<NotificationIcon> NewIcon()
{
    Ref<NotificationIcon> icon;
    EXPECT_EQ(S_OK, NotificationIcon::Create(icon));
    return icon;
}

// As Wine's and Windows' shells send it in version 4: event and icon in lParam, position in wParam.
void Callback(HWND window, UINT event, int x = 0, int y = 0)
{
    ::SendMessageW(window, NotificationIcon::kCallbackMessage, MAKEWPARAM(x, y), MAKELPARAM(event, 1));
}

std::vector<std::wstring> Drain(const Ref<NotificationIcon>& icon)
{
    std::vector<std::wstring> events;
    for (Text event; SUCCEEDED(icon->NextEvent(event)) && !event.Empty();) events.push_back(S(event));
    return events;
}

// A listener that writes down what it hears and where it heard it;
// MenuOpening only when asked, as 1.0's events have none.
struct Witness final : IconEventListener {
    std::vector<std::wstring> heard;
    bool hearOpening = false, duringPopup = false;
    int depth = 0, deepest = 0, insideSentMessage = 0;
    std::function<void()> handler;
    void IconEventRaised(IconEvent event, LONG id, const Text& caption) noexcept override
    {
        if (event == IconEvent::MenuOpening && !hearOpening) return;
        duringPopup |= OpenPopupMenuWindow() != nullptr;
        heard.push_back(EventName(event) + (id ? L"," + std::to_wstring(id) + L"," + S(caption) : L""));
        insideSentMessage += ::InSendMessageEx(nullptr) != ISMEX_NOSEND;
        deepest = std::max(deepest, ++depth);
        if (handler) handler();
        --depth;
    }
};

}  // namespace

TEST(NotifyEvents, TheListenerHearsEachEventOnceAndMenuChoicesOnlyAfterThePopupClosed)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        Witness recorder;
        icon->Listen(&recorder);
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        icon->AddSeparator();
        icon->AddMenuItem(T(L"Exit"), id);
        const HWND window = icon->Window();
        // A double click as Wine's shell sends it, selecting again after it.
        for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT})
            Callback(window, event);
        for (UINT event : {NIN_BALLOONUSERCLICK, NIN_BALLOONTIMEOUT, NIN_BALLOONHIDE}) Callback(window, event);
        RunSoon(300ms, [] {
            for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) ::PostMessageW(OpenPopupMenuWindow(), WM_KEYDOWN, key, 0);
        });
        RunSoon(3s, [] { ::EndMenu(); });  // nothing may hang in the popup's loop
        Callback(window, WM_CONTEXTMENU, 100, 100);
        const std::vector<std::wstring> before{L"Click", L"DoubleClick", L"BalloonClick", L"BalloonClosed"};
        EXPECT_EQ(before, recorder.heard);
        PumpUntil([&] { return recorder.heard.size() > before.size(); });
        std::vector<std::wstring> all = before;
        all.push_back(L"MenuItemClick,2,Exit");
        EXPECT_EQ(all, recorder.heard);
        EXPECT_FALSE(recorder.duringPopup);
        EXPECT_EQ(all, Drain(icon));
    });
}

TEST(NotifyEvents, TheQueueKeepsTheNewest256InOrder)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        EXPECT_TRUE(Drain(icon).empty());
        Callback(icon->Window(), NIN_BALLOONUSERCLICK);
        for (UINT i = 0; i < NotificationIcon::kQueueCapacity - 1; ++i) Callback(icon->Window(), NIN_SELECT);
        Callback(icon->Window(), NIN_BALLOONTIMEOUT);
        std::vector<std::wstring> expected(NotificationIcon::kQueueCapacity - 1, L"Click");
        expected.push_back(L"BalloonClosed");
        EXPECT_EQ(expected, Drain(icon));
    });
}

TEST(NotifyShell, OneAddInVersion4ThenChangesInPlaceAndBackAfterAShellRestart)
{
    OnFreshApartment([] {
        ShellRecorderW shell(ThisProgram());
        TempFile file(L"zanthel_notify_test.ico", IconFileBytes());
        auto icon = NewIcon();
        shell.calls.clear();
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ASSERT_EQ(2u, shell.calls.size());
        const NOTIFYICONDATAW added = shell.calls[0].record;
        EXPECT_EQ(std::make_pair(DWORD(NIM_ADD), DWORD(NIM_SETVERSION)),
                  std::make_pair(shell.calls[0].message, shell.calls[1].message));
        EXPECT_EQ(sizeof(NOTIFYICONDATAW), added.cbSize);
        EXPECT_EQ(icon->Window(), added.hWnd);
        EXPECT_EQ(1u, added.uID);
        EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP), added.uFlags);
        EXPECT_EQ(NotificationIcon::kCallbackMessage, added.uCallbackMessage);
        EXPECT_EQ(UINT(NOTIFYICON_VERSION_4), shell.calls[1].record.uVersion);

        // 126 units and a surrogate pair: the pair would straddle unit 127.
        const std::wstring tip = std::wstring(126, L'a') + L"\xD83D\xDE00";
        shell.calls.clear();
        EXPECT_EQ(S_OK, icon->SetToolTip(T(tip)));
        EXPECT_EQ(S_OK, icon->SetIcon(T(file.path())));
        EXPECT_TRUE(FAILED(icon->SetIcon(T(L"C:\\no\\such.ico"))));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"C:\\no\\such.ico"));
        ASSERT_EQ(2u, shell.calls.size());
        EXPECT_EQ(std::wstring(126, L'a'), S(icon->ToolTip()));
        EXPECT_EQ(std::wstring(126, L'a'), shell.calls[0].record.szTip);
        EXPECT_EQ(file.path(), S(icon->IconPath()));
        EXPECT_NE(added.hIcon, shell.calls[1].record.hIcon);
        // Every change keeps the version-4 tip.
        for (const auto& call : shell.calls) {
            EXPECT_EQ(DWORD(NIM_MODIFY), call.message);
            EXPECT_EQ(UINT(NIF_TIP | NIF_SHOWTIP), call.record.uFlags & (NIF_TIP | NIF_SHOWTIP));
            EXPECT_EQ(std::wstring(126, L'a'), call.record.szTip);
        }
        EXPECT_EQ(S_OK, icon->SetToolTip(T(std::wstring(200, L'b'))));
        EXPECT_EQ(127u, icon->ToolTip().Length());

        // A restarted shell has lost every icon.
        NOTIFYICONDATAW lost = added;
        ASSERT_TRUE(ShellRecorderW::RealShell(NIM_DELETE, &lost));
        shell.calls.clear();
        ::SendMessageW(icon->Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        ASSERT_EQ(2u, shell.calls.size());
        EXPECT_EQ(DWORD(NIM_ADD), shell.calls[0].message);
        EXPECT_EQ(std::wstring(127, L'b'), shell.calls[0].record.szTip);
        EXPECT_EQ(DWORD(NIM_SETVERSION), shell.calls[1].message);
    });
}

TEST(NotifyMembers, IdentifiersAreNeverReusedAndMisuseIsDescribed)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        LONG first = 0, second = 0, third = 0;
        icon->AddMenuItem(T(L"a"), first);
        icon->AddMenuItem(T(L"b"), second);
        EXPECT_EQ(S_OK, icon->ClearMenu());
        icon->AddMenuItem(T(L"c"), third);
        EXPECT_EQ(std::make_tuple(1, 2, 3), std::make_tuple(first, second, third));
        EXPECT_EQ(S_OK, icon->SetMenuItemChecked(3, true));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemEnabled(1, false));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemChecked(7, true));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"7"));
        EXPECT_EQ(E_INVALIDARG, icon->AddMenuItem(T(L""), first));

        EXPECT_TRUE(FAILED(icon->ShowBalloon(T(L"title"), T(L"text"), 1)));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"visible"));
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        EXPECT_EQ(E_INVALIDARG, icon->ShowBalloon(T(L"title"), T(L"text"), 4));
        EXPECT_EQ(S_OK, icon->ShowBalloon(T(L"title"), T(L"text"), NotificationIcon::kBalloonWarning));
    });
}

// Closing, the apartment's end and the thread's end each take the icon out
// of the notification area; a listener may let go of the icon it hears.
TEST(NotifyLifetime, CloseAndTheApartmentsEndOrAbandonRemoveEveryIcon)
{
    auto shown = [](const Ref<NotificationIcon>& icon) {
        NOTIFYICONDATAW record{};
        record.cbSize = sizeof(record);
        record.hWnd = icon->Window();
        record.uID = 1;
        return record;
    };
    OnFreshApartment([&] {
        Ref<NotificationIcon> icons[] = {NewIcon(), NewIcon(), NewIcon()};
        std::vector<NOTIFYICONDATAW> records;
        for (auto& icon : icons) {
            ASSERT_EQ(S_OK, icon->SetVisible(true));
            records.push_back(shown(icon));
        }
        Callback(icons[0]->Window(), NIN_SELECT);
        icons[0]->Close();
        EXPECT_EQ(CO_E_OBJNOTCONNECTED, icons[0]->SetToolTip(T(L"late")));
        EXPECT_EQ(std::vector<std::wstring>{L"Click"}, Drain(icons[0]));
        // Only the icon's own end ends it, not a WM_NCDESTROY anyone can post.
        ::PostMessageW(icons[1]->Window(), WM_NCDESTROY, 0, 0);
        PumpMessages(20ms);
        EXPECT_EQ(S_OK, icons[1]->SetToolTip(T(L"still here")));
        EndApartment();
        EXPECT_EQ(CO_E_OBJNOTCONNECTED, icons[1]->SetVisible(true));
        for (auto& record : records) {
            EXPECT_FALSE(::IsWindow(record.hWnd));
            EXPECT_FALSE(ShellRecorderW::RealShell(NIM_DELETE, &record)) << "the shell still had the icon";
        }
    });
    OnFreshApartment([&] {
        const Census before = TakeCensus();
        auto icon = NewIcon();
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        NOTIFYICONDATAW record = shown(icon);
        // The shell's last notice to a deleted icon's window comes while the
        // thread ends under the loader lock: it must find nothing of ours.
        {
            ShellRecorderW shell(ThisProgram());
            shell.answer = [&](DWORD message, PNOTIFYICONDATAW data) {
                if (message == NIM_DELETE) Callback(data->hWnd, NIN_BALLOONHIDE);
                return ShellRecorderW::RealShell(message, data);
            };
            AbandonApartment();
        }
        EXPECT_TRUE(Drain(icon).empty());
        EXPECT_FALSE(ShellRecorderW::RealShell(NIM_DELETE, &record));
        EXPECT_TRUE(::IsWindow(record.hWnd)) << "under the loader lock no window is destroyed";
        // What the icon owned goes with the thread, as with its release.
        const Census after = TakeCensus();
        EXPECT_EQ(std::make_tuple(before.menus, before.icons, before.gdiObjects),
                  std::make_tuple(after.menus, after.icons, after.gdiObjects));
    });
    OnFreshApartment([] {
        struct Releaser final : IconEventListener {
            Ref<NotificationIcon> held;
            void IconEventRaised(IconEvent, LONG, const Text&) noexcept override
            {
                held->Close();
                held.Reset();
            }
        } releaser;
        releaser.held = NewIcon();
        releaser.held->Listen(&releaser);
        const HWND window = releaser.held->Window();
        Callback(window, NIN_SELECT);
        EXPECT_FALSE(releaser.held);
        EXPECT_FALSE(::IsWindow(window));
    });
}

// A left click's menu waits for the double-click time: a double click meets
// no menu, raises DoubleClick and chooses the default item.
TEST(NotifyEvents, WithLeftClickMenuALoneClickOpensTheMenuAndADoubleClickChoosesTheDefault)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        icon->SetDefaultMenuItem(id);
        icon->SetLeftClickMenu(true);
        bool opened = false;
        RunSoon(::GetDoubleClickTime() * 1ms + 500ms, [&] {
            opened = OpenPopupMenuWindow() != nullptr;
            ::EndMenu();
        });
        Callback(icon->Window(), NIN_SELECT, 100, 100);
        PumpUntil([&] { return opened; });
        EXPECT_TRUE(opened);
        EXPECT_TRUE(Drain(icon).empty());

        opened = false;
        RunSoon(::GetDoubleClickTime() * 1ms + 500ms, [&] {
            opened = OpenPopupMenuWindow() != nullptr;
            ::EndMenu();
        });
        for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT})
            Callback(icon->Window(), event, 100, 100);
        PumpMessages(::GetDoubleClickTime() * 1ms + 800ms);
        EXPECT_FALSE(opened);
        EXPECT_EQ((std::vector<std::wstring>{L"DoubleClick", L"MenuItemClick,1,Open"}), Drain(icon));
    });
}

// The shell may be starting (at logon), or may keep an icon it said it did
// not take; the host's wish stands, and an elevated host still hears the
// shell's restart.
TEST(NotifyShell, AWantedIconIsOfferedUntilTheShellHasItAndAlwaysDeleted)
{
    OnFreshApartment([] {
        ShellRecorderW shell(ThisProgram());
        static HWND filtered;
        ImportSpy<decltype(::ChangeWindowMessageFilterEx)> filter(
            ThisProgram(), L"user32.dll", "ChangeWindowMessageFilterEx",
            [](HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT) WINAPI -> BOOL {
                filtered = window;
                return BOOL(action == MSGFLT_ALLOW && message == ::RegisterWindowMessageW(L"TaskbarCreated"));
            });
        auto icon = NewIcon();
        EXPECT_EQ(icon->Window(), filtered);
        const auto retry = [&] { ::SendMessageW(icon->Window(), WM_TIMER, NotificationIcon::kRetryTimer, 0); };

        // Not ready: nothing is taken, the wish is kept and offered again.
        shell.answer = [](DWORD, PNOTIFYICONDATAW) { return FALSE; };
        shell.calls.clear();
        EXPECT_EQ(S_OK, icon->SetVisible(true));
        EXPECT_TRUE(icon->Visible());
        EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY}), shell.Messages());
        // Taken, but the version is refused: asked again until it holds.
        shell.answer = [](DWORD message, PNOTIFYICONDATAW data) {
            return message == NIM_SETVERSION ? FALSE : ShellRecorderW::RealShell(message, data);
        };
        shell.calls.clear();
        retry();
        shell.answer = nullptr;
        retry();
        retry();
        EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_SETVERSION}), shell.Messages());

        // Kept although the add said no: found by a change, deleted when hidden.
        ASSERT_EQ(S_OK, icon->SetVisible(false));
        shell.answer = [](DWORD message, PNOTIFYICONDATAW data) {
            return ShellRecorderW::RealShell(message, data) && message != NIM_ADD;
        };
        shell.calls.clear();
        EXPECT_EQ(S_OK, icon->SetVisible(true));
        EXPECT_EQ(S_OK, icon->SetVisible(false));
        EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_SETVERSION, NIM_DELETE}), shell.Messages());
        NOTIFYICONDATAW record = shell.calls.back().record;
        EXPECT_FALSE(ShellRecorderW::RealShell(NIM_DELETE, &record)) << "the icon outlived its wish";
    });
}

TEST(NotifyEvents, EnterSelectsOnceAndEachBalloonClosesOnce)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        // The pointer resting on the icon comes between Enter's pair.
        for (UINT event : std::initializer_list<UINT>{NIN_KEYSELECT, WM_MOUSEMOVE, NIN_POPUPOPEN, NIN_KEYSELECT,
                                                      NIN_KEYSELECT, NIN_SELECT, NIN_BALLOONTIMEOUT, NIN_BALLOONHIDE,
                                                      NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT})
            Callback(icon->Window(), event);
        // The third key select is a press of its own; a click is never swallowed.
        EXPECT_EQ((std::vector<std::wstring>{L"Click", L"Click", L"Click", L"BalloonClosed", L"BalloonShown",
                                             L"BalloonClosed"}),
                  Drain(icon));
    });
}

// A handler that pumps messages, events sent from another thread and a click
// right after a menu choice: each event is heard once, in order, never
// inside another's handler or inside a message another thread sent.
TEST(NotifyEvents, EventsWaitTheirTurnInTheOrderTheyCame)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        Witness witness;
        icon->Listen(&witness);
        const HWND window = icon->Window();
        witness.handler = [&] {
            if (witness.heard.size() != 1) return;
            for (int i = 0; i < 50; ++i)
                ::PostMessageW(window, NotificationIcon::kCallbackMessage, 0, MAKELPARAM(NIN_SELECT, 1));
            PumpMessages(50ms);
        };
        Callback(window, NIN_BALLOONUSERCLICK);
        std::thread sender([&] {
            for (int i = 0; i < 20; ++i)
                if (!SendCallbackFromAnotherThread(window, NIN_BALLOONUSERCLICK)) break;
        });
        PumpUntil([&] { return witness.heard.size() >= 71; });
        sender.join();
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        RunSoon(300ms, [] {
            for (WPARAM key : {VK_DOWN, VK_RETURN}) ::PostMessageW(OpenPopupMenuWindow(), WM_KEYDOWN, key, 0);
        });
        RunSoon(3s, [] { ::EndMenu(); });
        Callback(window, WM_CONTEXTMENU, 100, 100);
        Callback(window, NIN_SELECT);
        PumpUntil([&] { return witness.heard.size() >= 73; });

        std::vector<std::wstring> expected{L"BalloonClick"};
        expected.insert(expected.end(), 50, L"Click");
        expected.insert(expected.end(), 20, L"BalloonClick");
        expected.insert(expected.end(), {L"MenuItemClick,1,Open", L"Click"});
        EXPECT_EQ(expected, witness.heard);
        EXPECT_EQ(1, witness.deepest);
        EXPECT_EQ(0, witness.insideSentMessage);
        EXPECT_EQ(expected.size(), Drain(icon).size());
    });
}

namespace {

int Width(HICON icon)
{
    ICONINFO info{};
    BITMAP bitmap{};
    if (!::GetIconInfo(icon, &info)) return 0;
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

}  // namespace

namespace {

// The open popup's menu, read from its window.
HMENU OpenPopupMenu() { return reinterpret_cast<HMENU>(::SendMessageW(OpenPopupMenuWindow(), MN_GETHMENU, 0, 0)); }

MENUITEMINFOW ItemAt(HMENU menu, UINT position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    ::GetMenuItemInfoW(menu, position, TRUE, &info);
    return info;
}

// Opens the icon's popup with a right click, runs look while it is open,
// then presses keys in it.
void InPopup(const Ref<NotificationIcon>& icon, std::function<void(HMENU)> look, std::vector<WPARAM> keys = {})
{
    RunSoon(300ms, [look, keys] {
        look(OpenPopupMenu());
        for (WPARAM key : keys) ::PostMessageW(OpenPopupMenuWindow(), WM_KEYDOWN, key, 0);
        if (keys.empty()) ::EndMenu();
    });
    RunSoon(3s, [] { ::EndMenu(); });
    Callback(icon->Window(), WM_CONTEXTMENU, 100, 100);
    PumpMessages(50ms);
}

}  // namespace

// Items and submenus share one sequence of identifiers; a nested item is
// chosen by its own identifier, and misuse names the identifier.
TEST(NotifyMenuTree, SubmenusNestAndTheirItemsAreChosenByTheirOwnIdentifiers)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        Witness witness;
        icon->Listen(&witness);
        LONG settings = 0, mode = 0, fast = 0, slow = 0, exit = 0, gone = 0;
        ASSERT_EQ(S_OK, icon->AddSubMenu(0, T(L"Settings"), settings));
        ASSERT_EQ(S_OK, icon->AddSubMenu(settings, T(L"Mode"), mode));
        ASSERT_EQ(S_OK, icon->AddMenuItemTo(mode, T(L"Fast"), fast));
        ASSERT_EQ(S_OK, icon->AddMenuItemTo(mode, T(L"Slow"), slow));
        ASSERT_EQ(S_OK, icon->AddSeparatorTo(settings));
        ASSERT_EQ(S_OK, icon->AddMenuItemTo(settings, T(L"Gone"), gone));
        ASSERT_EQ(S_OK, icon->AddMenuItem(T(L"Exit"), exit));
        EXPECT_EQ((std::vector<LONG>{1, 2, 3, 4, 5, 6}), (std::vector<LONG>{settings, mode, fast, slow, gone, exit}));
        EXPECT_EQ(S_OK, icon->SetMenuItemCaption(slow, T(L"Slowly")));
        EXPECT_EQ(S_OK, icon->RemoveMenuItem(gone));

        LONG id = 0;
        EXPECT_EQ(E_INVALIDARG, icon->AddMenuItemTo(exit, T(L"x"), id));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"6"));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemChecked(gone, true));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"5"));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemChecked(mode, true));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemCaption(fast, T(L"")));

        InPopup(icon, [](HMENU) {}, {VK_DOWN, VK_RIGHT, VK_RIGHT, VK_DOWN, VK_RETURN});
        PumpUntil([&] { return !witness.heard.empty(); });
        EXPECT_EQ(std::vector<std::wstring>{L"MenuItemClick,4,Slowly"}, witness.heard);

        // A submenu goes with everything in it; identifiers are never reused.
        EXPECT_EQ(S_OK, icon->RemoveMenuItem(settings));
        EXPECT_EQ(E_INVALIDARG, icon->SetMenuItemEnabled(fast, false));
        ASSERT_EQ(S_OK, icon->AddMenuItem(T(L"New"), id));
        EXPECT_EQ(7, id);
    });
}

// Radio groups are per submenu; the default item is bold and a double
// click chooses it; MenuOpening may change the menu the popup shows.
TEST(NotifyMenuTree, RadioGroupsTheDefaultItemAndMenuOpeningShapeThePopup)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        Witness witness;
        witness.hearOpening = true;
        icon->Listen(&witness);
        LONG a = 0, b = 0, plain = 0, added = 0;
        // An empty menu: MenuOpening may fill it, or RightClick comes instead.
        witness.handler = [&] {
            if (witness.heard.back() == L"MenuOpening" && !added) icon->AddMenuItem(T(L"A"), added);
        };
        std::vector<UINT> shownIds;
        InPopup(icon, [&](HMENU menu) { shownIds.push_back(ItemAt(menu, 0).wID); });
        EXPECT_EQ(std::vector<UINT>{1}, shownIds);
        ASSERT_EQ(1, added);
        a = added;
        icon->AddMenuItem(T(L"B"), b);
        icon->AddMenuItem(T(L"Plain"), plain);
        EXPECT_EQ(S_OK, icon->SetMenuItemRadio(a, 1));
        EXPECT_EQ(S_OK, icon->SetMenuItemRadio(b, 1));
        EXPECT_EQ(S_OK, icon->SetMenuItemChecked(a, true));
        EXPECT_EQ(S_OK, icon->SetDefaultMenuItem(plain));
        EXPECT_EQ(plain, icon->DefaultMenuItem());
        MENUITEMINFOW marks[3] = {};
        witness.heard.clear();
        InPopup(icon,
                [&](HMENU menu) {
                    std::generate(std::begin(marks), std::end(marks),
                                  [&, i = 0u]() mutable { return ItemAt(menu, i++); });
                },
                {VK_DOWN, VK_DOWN, VK_RETURN});
        EXPECT_TRUE(marks[0].fType & MFT_RADIOCHECK);
        EXPECT_TRUE(marks[0].fState & MFS_CHECKED);
        EXPECT_FALSE(marks[1].fState & MFS_CHECKED);
        EXPECT_TRUE(marks[2].fState & MFS_DEFAULT);
        PumpUntil([&] { return witness.heard.size() >= 2; });
        // Choosing B checked it and unchecked A before the event.
        InPopup(icon, [&](HMENU menu) { marks[0] = ItemAt(menu, 0), marks[1] = ItemAt(menu, 1); });
        EXPECT_FALSE(marks[0].fState & MFS_CHECKED);
        EXPECT_TRUE(marks[1].fState & MFS_CHECKED);

        // A double click chooses the default item, a radio item's mark included.
        EXPECT_EQ(S_OK, icon->SetDefaultMenuItem(a));
        Callback(icon->Window(), WM_LBUTTONDBLCLK);
        PumpMessages(50ms);
        InPopup(icon, [&](HMENU menu) { marks[0] = ItemAt(menu, 0), marks[2] = ItemAt(menu, 2); });
        EXPECT_TRUE(marks[0].fState & MFS_CHECKED);
        EXPECT_FALSE(marks[2].fState & MFS_DEFAULT);
        EXPECT_EQ(S_OK, icon->RemoveMenuItem(a));
        EXPECT_EQ(0, icon->DefaultMenuItem());
        // MenuOpening that empties the menu: RightClick, and no popup.
        witness.handler = [&] {
            if (witness.heard.back() == L"MenuOpening") icon->ClearMenu();
        };
        Callback(icon->Window(), WM_CONTEXTMENU, 100, 100);
        EXPECT_EQ((std::vector<std::wstring>{L"MenuOpening", L"MenuItemClick,2,B", L"MenuOpening", L"DoubleClick",
                                             L"MenuItemClick,1,A", L"MenuOpening", L"MenuOpening", L"RightClick"}),
                  witness.heard);
        Callback(icon->Window(), WM_MBUTTONUP);
        Callback(icon->Window(), NIN_BALLOONSHOW);
        const auto queued = Drain(icon);
        EXPECT_EQ((std::vector<std::wstring>{L"RightClick", L"MiddleClick", L"BalloonShown"}),
                  std::vector<std::wstring>(queued.end() - 3, queued.end()));
    });
}

// A notification with the program's own picture, quietly: the fields the
// shell needs, and nothing shown for a request that cannot be met.
TEST(NotifyShell, ANotificationCarriesItsPictureAndOptionsOrIsRefused)
{
    OnFreshApartment([] {
        ShellRecorderW shell(ThisProgram());
        TempFile file(L"zanthel_notification.ico", IconFileBytes());
        auto icon = NewIcon();
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        shell.calls.clear();
        EXPECT_EQ(E_INVALIDARG, icon->ShowNotification(T(L"t"), T(L"x"), 4, T(L""), 0));
        EXPECT_EQ(E_INVALIDARG, icon->ShowNotification(T(L"t"), T(L"x"), 1, T(file.path()), 0));
        EXPECT_EQ(E_INVALIDARG, icon->ShowNotification(T(L"t"), T(L"x"), 1, T(L""), 4));
        EXPECT_TRUE(FAILED(icon->ShowNotification(T(L"t"), T(L"x"), 4, T(L"C:\\no\\such.ico"), 0)));
        EXPECT_NE(std::wstring::npos, LayerDescription().find(L"C:\\no\\such.ico"));
        EXPECT_TRUE(shell.calls.empty());
        ASSERT_EQ(S_OK, icon->ShowNotification(T(L"Done"), T(L"Measured"), 4, T(file.path()), 3));
        ASSERT_EQ(1u, shell.calls.size());
        const NOTIFYICONDATAW& shown = shell.calls[0].record;
        EXPECT_EQ(UINT(NIF_INFO | NIF_TIP | NIF_SHOWTIP), shown.uFlags & (NIF_INFO | NIF_TIP | NIF_SHOWTIP));
        EXPECT_EQ(DWORD(NIIF_USER | 0x20 | NIIF_NOSOUND | 0x80), shown.dwInfoFlags);
        EXPECT_EQ(::GetSystemMetrics(SM_CXICON), Width(shown.hBalloonIcon));
    });
}

namespace {

// What the popup was asked and what the icon did around it.
struct PopupRecord {
    POINT at{};
    bool vertical = false;
    RECT exclude{};
    int foregroundBeforeOpening = 0, foregroundAtTrack = 0;
};
PopupRecord popupRecord;
int foregroundCalls = 0;
UINT popupAnswer = 0;
FARPROC(WINAPI* realLookUpForPopup)(HMODULE, LPCSTR);
constexpr RECT kIconRect{500, 700, 520, 720};

FARPROC WINAPI LookUpForPopup(HMODULE module, LPCSTR name)
{
    const std::string wanted = HIWORD(name) ? name : "";
    // Windows' conversion fails for a window of no size, and may leave the point changed.
    if (wanted == "PhysicalToLogicalPointForPerMonitorDPI")
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(+[](HWND, POINT* point) WINAPI -> BOOL {
            point->x *= 3;
            return FALSE;
        }));
    if (wanted == "Shell_NotifyIconGetRect")
        return reinterpret_cast<FARPROC>(
            reinterpret_cast<void*>(+[](const NOTIFYICONIDENTIFIER*, RECT* rect) WINAPI -> HRESULT {
                *rect = kIconRect;
                return S_OK;
            }));
    return realLookUpForPopup(module, name);
}

}  // namespace

// A mouse menu opens at the pointer, a keyboard menu at the icon; both beside
// the icon, never over it. The icon takes the foreground when the callback
// comes and again at the popup, and hands the focus back to the notification
// area only when a keyboard menu closes with nothing chosen.
TEST(NotifyPopup, TheMenuOpensWhereTheUserLooksAndOnlyACancelledKeyboardMenuHandsBackTheFocus)
{
    OnFreshApartment([] {
        ShellRecorderW shell(ThisProgram());
        ImportSpy<decltype(::GetProcAddress)> lookUp(ThisProgram(), L"kernel32.dll", "GetProcAddress", &LookUpForPopup);
        realLookUpForPopup = lookUp.real();
        ImportSpy<decltype(::SetForegroundWindow)> foreground(ThisProgram(), L"user32.dll", "SetForegroundWindow",
                                                              [](HWND)
                                                                  WINAPI -> BOOL { return ++foregroundCalls, TRUE; });
        ImportSpy<decltype(::TrackPopupMenuEx)> popup(ThisProgram(), L"user32.dll", "TrackPopupMenuEx",
                                                      [](HMENU menu, UINT flags, int x, int y, HWND, LPTPMPARAMS params)
                                                          WINAPI {
                                                              popupRecord.at = POINT{x, y};
                                                              popupRecord.vertical = (flags & TPM_VERTICAL) != 0;
                                                              popupRecord.exclude = params ? params->rcExclude : RECT{};
                                                              popupRecord.foregroundAtTrack = foregroundCalls;
                                                              return BOOL(popupAnswer ? ::GetMenuItemID(menu, 0) : 0);
                                                          });
        auto icon = NewIcon();
        Witness witness;
        witness.hearOpening = true;
        witness.handler = [&] {
            if (witness.heard.back() == L"MenuOpening") popupRecord.foregroundBeforeOpening = foregroundCalls;
        };
        icon->Listen(&witness);
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ::SetCursorPos(300, 200);
        POINT pointer{};
        ::GetCursorPos(&pointer);

        struct Case {
            const char* what;
            std::vector<UINT> callbacks;
            bool choose;
            POINT at;
            bool focusBack;
        };
        const POINT anchor{600, 800};
        for (const Case& test :
             {Case{"right button, cancelled", {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, false, pointer, false},
              Case{"menu key, cancelled", {WM_CONTEXTMENU}, false, anchor, true},
              Case{"menu key, chosen", {WM_CONTEXTMENU}, true, anchor, false}}) {
            popupRecord = PopupRecord();
            foregroundCalls = 0;
            popupAnswer = test.choose;
            shell.calls.clear();
            for (UINT callback : test.callbacks) Callback(icon->Window(), callback, anchor.x, anchor.y);
            PumpMessages(20ms);
            EXPECT_EQ(std::make_pair(test.at.x, test.at.y), std::make_pair(popupRecord.at.x, popupRecord.at.y))
                << test.what;
            EXPECT_TRUE(popupRecord.vertical && ::EqualRect(&popupRecord.exclude, &kIconRect)) << test.what;
            EXPECT_GE(popupRecord.foregroundBeforeOpening, 1) << test.what;
            EXPECT_GT(popupRecord.foregroundAtTrack, popupRecord.foregroundBeforeOpening) << test.what;
            const std::vector<DWORD> told = shell.Messages();
            EXPECT_EQ(test.focusBack, std::count(told.begin(), told.end(), DWORD(NIM_SETFOCUS)) == 1) << test.what;
        }
    });
}
