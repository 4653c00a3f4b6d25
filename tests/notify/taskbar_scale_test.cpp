// The icon is sized for the taskbar's scale, which a DPI-unaware host is
// never told of and which changes while it runs; the built-in icon has a
// picture drawn for each size such a scale asks for.
#include "notify/notification_icon.h"

#include "common/built_in_icon.h"
#include "common/dpi.h"
#include "common/icon_resource.h"
#include "support/fresh_apartment.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace zanthel;
using namespace zanthel::test;

namespace {

// Windows as the spy shows it: the taskbar's monitor at one DPI, the system
// DPI (fixed when the process started) at another.
struct Screen {
    UINT taskbarDpi, systemDpi = 96;
    bool hasTaskbar = true;
    std::set<std::string> missing = {};  // functions this Windows lacks
} screen{96};
const HANDLE kUnaware = reinterpret_cast<HANDLE>(-1), kSystemAware = reinterpret_cast<HANDLE>(-2);
const HWND kTaskbar = reinterpret_cast<HWND>(0x7ba0);
HANDLE threadContext = kUnaware;  // as LabVIEW's

// An unaware thread is told 96 dpi, a system-aware one the system DPI; only
// a per-monitor aware one is told what a monitor is at.
UINT SeenByThread(UINT monitorDpi)
{
    return threadContext == kUnaware ? 96 : threadContext == kSystemAware ? screen.systemDpi : monitorDpi;
}

int SmallIconAt(UINT dpi) { return ::GetSystemMetrics(SM_CXSMICON) * static_cast<int>(dpi) / 96; }

// The icon's colour image: width and bits per pixel.
std::pair<LONG, WORD> ColourImage(HICON icon)
{
    ICONINFO info{};
    BITMAP bitmap{};
    if (::GetIconInfo(icon, &info)) ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmBitsPixel};
}

template <typename Function>
void* Address(Function* function)
{
    return reinterpret_cast<void*>(function);
}

const auto realLookUp = SystemFunction<decltype(::GetProcAddress)>(L"kernel32.dll", "GetProcAddress");
const auto realFindWindow = SystemFunction<decltype(::FindWindowW)>(L"user32.dll", "FindWindowW");

FARPROC WINAPI LookUp(HMODULE module, LPCSTR name)
{
    const std::string wanted = IS_INTRESOURCE(name) ? "" : name;
    void* fake = nullptr;
    if (wanted == "SetThreadDpiAwarenessContext")
        fake = Address(+[](HANDLE context) WINAPI -> HANDLE { return std::exchange(threadContext, context); });
    else if (wanted == "GetDpiForSystem")
        fake = Address(+[]() WINAPI -> UINT { return SeenByThread(screen.systemDpi); });
    else if (wanted == "GetDpiForWindow")
        fake = Address(+[](HWND window)
                            WINAPI -> UINT { return window == kTaskbar ? SeenByThread(screen.taskbarDpi) : 0; });
    else if (wanted == "GetSystemMetricsForDpi")
        fake = Address(+[](int metric, UINT dpi)
                            WINAPI -> int { return ::GetSystemMetrics(metric) * static_cast<int>(dpi) / 96; });
    if (screen.missing.count(wanted)) return nullptr;
    return fake ? reinterpret_cast<FARPROC>(fake) : realLookUp(module, name);
}

HWND WINAPI FindTaskbar(LPCWSTR className, LPCWSTR title)
{
    if (!IS_INTRESOURCE(className) && std::wstring(className) == L"Shell_TrayWnd")
        return screen.hasTaskbar ? kTaskbar : nullptr;
    return realFindWindow(className, title);
}

// The program's calls reach the spied Windows and shell while this lives.
struct ScreenSpy {
    explicit ScreenSpy(Screen shown)
    {
        screen = std::move(shown);
        threadContext = kUnaware;
        shell.answer = [](DWORD, PNOTIFYICONDATAW) { return TRUE; };
    }
    // Each message, with the width of the icon it carries.
    std::vector<std::pair<DWORD, int>> Told() const
    {
        std::vector<std::pair<DWORD, int>> told;
        for (const auto& [message, record] : shell.calls)
            told.push_back({message, (record.uFlags & NIF_ICON) ? ColourImage(record.hIcon).first : 0});
        return told;
    }
    ImportSpy<decltype(::GetProcAddress)> lookUp{ThisProgram(), realLookUp, &LookUp};
    ImportSpy<decltype(::FindWindowW)> findWindow{ThisProgram(), realFindWindow, &FindTaskbar};
    ShellRecorderW shell{ThisProgram()};
};

}  // namespace

// The system DPI stays what it was when the host started; the icon is sized
// for the taskbar's scale as it is now, and resized when that changes. The
// system DPI serves without a taskbar, or a Windows able to tell its scale.
TEST(TaskbarScale, TheIconIsSizedForTheTaskbarsScaleAsItIsNow)
{
    OnFreshApartment([] {
        ScreenSpy spy({144});
        Ref<NotificationIcon> icon;
        ASSERT_EQ(S_OK, NotificationIcon::Create(icon));
        spy.shell.calls.clear();
        ASSERT_EQ(S_OK, icon->SetVisible(true));
        ASSERT_FALSE(spy.Told().empty());
        EXPECT_EQ(std::make_pair(DWORD(NIM_ADD), SmallIconAt(144)), spy.Told()[0]);

        for (const auto& [now, size] : {std::make_pair(Screen{192}, SmallIconAt(192)),
                                        {Screen{192, 120, false}, SmallIconAt(120)},
                                        {Screen{192, 144, true, {"GetDpiForWindow"}}, SmallIconAt(144)}}) {
            screen = now;
            spy.shell.calls.clear();
            ::SendMessageW(icon->Window(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
            EXPECT_EQ((std::vector<std::pair<DWORD, int>>{{NIM_MODIFY, size}}), spy.Told());
        }
        EXPECT_EQ(kUnaware, threadContext) << "the host's thread keeps its awareness";
    });
}

// At each scale from 100 % to 300 % (125 % and 150 % among them) the
// built-in icon has a 32-bit image drawn at the size asked for, not one
// stretched from another.
TEST(TaskbarScale, TheBuiltInIconHasA32BitImageDrawnAtTheScalesSize)
{
    const HMODULE self = ::GetModuleHandleW(nullptr);
    auto* group = static_cast<BYTE*>(::LockResource(
        ::LoadResource(self, ::FindResourceW(self, MAKEINTRESOURCEW(ZANTHEL_BUILT_IN_ICON), MAKEINTRESOURCEW(14)))));
    ASSERT_TRUE(group);
    for (UINT dpi : {96, 120, 144, 192, 240, 288}) {
        ScreenSpy spy({dpi});
        const int size = SmallIconAt(dpi), id = ::LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
        // The group's 14-byte entries give width first, bits per pixel at 6, the image's id at 12.
        const BYTE* entry = group + 6;
        while (entry[12] != id && entry < group + 6 + 14 * (group[4] - 1)) entry += 14;
        EXPECT_EQ(std::make_pair(size, 32), std::make_pair(int(entry[0]), int(entry[6]))) << dpi << " dpi";
        EXPECT_EQ(std::make_pair(LONG(size), WORD(32)), ColourImage(LoadBuiltInIcon().get())) << dpi << " dpi";
    }
}
