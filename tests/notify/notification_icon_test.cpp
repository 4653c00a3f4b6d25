// The notification icon as the component drives it: the shell's version-4
// callbacks, the popup, the queue, what the shell is told, and the icon's end.
#include "notify/notification_icon.h"

#include "common/apartment.h"
#include "support/fresh_apartment.h"
#include "support/imports.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace zanthel;
using namespace zanthel::test;
using namespace std::chrono_literals;

namespace {

// From shell32 itself: the program's own import slot is the one the spy replaces.
const auto realNotify = reinterpret_cast<decltype(&::Shell_NotifyIconW)>(
    reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconW")));
std::vector<std::pair<DWORD, NOTIFYICONDATAW>> shellCalls;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAW data)
{
    shellCalls.push_back({message, *data});
    return realNotify(message, data);
}

struct ShellSpy {
    ShellSpy() { ReplaceImportIn(::GetModuleHandleW(nullptr), (const void*)realNotify, (const void*)&RecordNotify); }
    ~ShellSpy() { ReplaceImportIn(::GetModuleHandleW(nullptr), (const void*)&RecordNotify, (const void*)realNotify); }
};

Text T(const std::wstring& text)
{
    Text result;
    result.Assign(text.data(), static_cast<UINT>(text.size()));
    return result;
}

std::wstring S(const Text& text) { return std::wstring(text.Chars(), text.Length()); }

std::wstring Described()
{
    IErrorInfo* info = nullptr;
    BSTR text = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(&text), info->Release();
    std::wstring result = text ? text : L"";
    ::SysFreeString(text);
    return result;
}

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

struct Recorder final : IconEventListener {
    std::vector<std::wstring> heard;
    bool duringPopup = false;
    void IconEventRaised(IconEvent event, LONG id, const Text& caption) noexcept override
    {
        static const wchar_t* names[] = {
            L"", L"Click", L"DoubleClick", L"MenuItemClick", L"BalloonClick", L"BalloonClosed"};
        duringPopup |= OpenPopupMenuWindow() != nullptr;
        std::wstring text = names[static_cast<int>(event)];
        if (id) text += L"," + std::to_wstring(id) + L"," + S(caption);
        heard.push_back(text);
    }
};

}  // namespace

TEST(NotifyEvents, TheListenerHearsEachEventOnceAndMenuChoicesOnlyAfterThePopupClosed)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        Recorder recorder;
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
        for (UINT i = 0; i < NotificationIcon::kQueueCapacity - 1; ++i) Callback(icon->Window(), NIN_KEYSELECT);
        Callback(icon->Window(), NIN_BALLOONTIMEOUT);
        std::vector<std::wstring> expected(NotificationIcon::kQueueCapacity - 1, L"Click");
        expected.push_back(L"BalloonClosed");
        EXPECT_EQ(expected, Drain(icon));
    });
}

TEST(NotifyShell, OneAddInVersion4ThenChangesInPlaceAndBackAfterAShellRestart)
{
    OnFreshApartment([] {
        ShellSpy spy;
        TempFile file(L"zanthel_notify_test.ico", IconFileBytes());
        auto icon = NewIcon();
        shellCalls.clear();
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ASSERT_EQ(2u, shellCalls.size());
        const NOTIFYICONDATAW added = shellCalls[0].second;
        EXPECT_EQ(std::make_pair(DWORD(NIM_ADD), DWORD(NIM_SETVERSION)),
                  std::make_pair(shellCalls[0].first, shellCalls[1].first));
        EXPECT_EQ(sizeof(NOTIFYICONDATAW), added.cbSize);
        EXPECT_EQ(icon->Window(), added.hWnd);
        EXPECT_EQ(1u, added.uID);
        EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP), added.uFlags);
        EXPECT_EQ(NotificationIcon::kCallbackMessage, added.uCallbackMessage);
        EXPECT_EQ(UINT(NOTIFYICON_VERSION_4), shellCalls[1].second.uVersion);

        // 126 units and a surrogate pair: the pair would straddle unit 127.
        const std::wstring tip = std::wstring(126, L'a') + L"\xD83D\xDE00";
        shellCalls.clear();
        EXPECT_EQ(S_OK, icon->SetToolTip(T(tip)));
        EXPECT_EQ(S_OK, icon->SetIcon(T(file.path())));
        EXPECT_TRUE(FAILED(icon->SetIcon(T(L"C:\\no\\such.ico"))));
        EXPECT_NE(std::wstring::npos, Described().find(L"C:\\no\\such.ico"));
        ASSERT_EQ(2u, shellCalls.size());
        EXPECT_EQ(std::wstring(126, L'a'), S(icon->ToolTip()));
        EXPECT_EQ(std::wstring(126, L'a'), shellCalls[0].second.szTip);
        EXPECT_EQ(file.path(), S(icon->IconPath()));
        EXPECT_NE(added.hIcon, shellCalls[1].second.hIcon);
        for (const auto& call : shellCalls) EXPECT_EQ(DWORD(NIM_MODIFY), call.first);
        EXPECT_EQ(S_OK, icon->SetToolTip(T(std::wstring(200, L'b'))));
        EXPECT_EQ(127u, icon->ToolTip().Length());

        // A restarted shell has lost every icon.
        NOTIFYICONDATAW lost = added;
        ASSERT_TRUE(realNotify(NIM_DELETE, &lost));
        shellCalls.clear();
        ::SendMessageW(icon->Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        ASSERT_EQ(2u, shellCalls.size());
        EXPECT_EQ(DWORD(NIM_ADD), shellCalls[0].first);
        EXPECT_EQ(std::wstring(127, L'b'), shellCalls[0].second.szTip);
        EXPECT_EQ(DWORD(NIM_SETVERSION), shellCalls[1].first);
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
        EXPECT_NE(std::wstring::npos, Described().find(L"7"));
        EXPECT_EQ(E_INVALIDARG, icon->AddMenuItem(T(L""), first));

        EXPECT_TRUE(FAILED(icon->ShowBalloon(T(L"title"), T(L"text"), 1)));
        EXPECT_NE(std::wstring::npos, Described().find(L"visible"));
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
        EndApartment();
        EXPECT_EQ(CO_E_OBJNOTCONNECTED, icons[1]->SetVisible(true));
        for (auto& record : records) {
            EXPECT_FALSE(::IsWindow(record.hWnd));
            EXPECT_FALSE(realNotify(NIM_DELETE, &record)) << "the shell still had the icon";
        }
    });
    OnFreshApartment([&] {
        auto icon = NewIcon();
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        NOTIFYICONDATAW record = shown(icon);
        AbandonApartment();
        EXPECT_FALSE(realNotify(NIM_DELETE, &record));
        EXPECT_TRUE(::IsWindow(record.hWnd)) << "under the loader lock no window is destroyed";
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

TEST(NotifyEvents, WithLeftClickMenuASelectOpensTheMenuInsteadOfRaisingClick)
{
    OnFreshApartment([] {
        auto icon = NewIcon();
        LONG id = 0;
        icon->AddMenuItem(T(L"Open"), id);
        icon->SetLeftClickMenu(true);
        bool opened = false;
        RunSoon(300ms, [&] {
            opened = OpenPopupMenuWindow() != nullptr;
            ::EndMenu();
        });
        Callback(icon->Window(), NIN_SELECT, 100, 100);
        EXPECT_TRUE(opened);
        EXPECT_TRUE(Drain(icon).empty());
    });
}
