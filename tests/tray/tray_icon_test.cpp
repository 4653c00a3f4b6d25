// The notification-area icon: the record the shell receives, what the
// notification area holds afterwards, and the icon picture.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace zanthel::test;

namespace {

const auto realNotify = &::Shell_NotifyIconA;

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAA record;  // the 88 bytes the DLL passed; the rest stays zero
};
std::vector<ShellCall> shellCalls;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAA data)
{
    shellCalls.push_back({message, {}});
    std::memcpy(&shellCalls.back().record, data, 88);
    return realNotify(message, data);
}

// Points the DLL's import slot for Shell_NotifyIconA at function: the tray
// itself cannot be asked for an icon's tip or identifier.
void SetNotifySlot(void* function)
{
    static void** const slot = [] {
        auto* base = reinterpret_cast<BYTE*>(Dll());
        auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(DllDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT));
        for (; dll->Name; ++dll)
            for (auto** entry = reinterpret_cast<void**>(base + dll->FirstThunk); *entry; ++entry)
                if (*entry == reinterpret_cast<void*>(realNotify)) return entry;
        return static_cast<void**>(nullptr);
    }();
    ASSERT_TRUE(slot);
    DWORD old;
    ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = function;
    ::VirtualProtect(slot, sizeof(void*), old, &old);
}

// Records every call from the DLL to the shell during its lifetime.
struct ShellSpy {
    ShellSpy()
    {
        shellCalls.clear();
        SetNotifySlot(reinterpret_cast<void*>(&RecordNotify));
    }
    ~ShellSpy() { SetNotifySlot(reinterpret_cast<void*>(realNotify)); }
};

// Whether the notification area still held the icon; it is gone afterwards.
bool TrayStillHad(NOTIFYICONDATAA added) { return realNotify(NIM_DELETE, &added); }

}  // namespace

TEST(TrayIcon, TheShellGetsTheHostWindowItsCallbackAndATerminatedTip)
{
    OnFreshApartment([] {
        ShellSpy spy;
        auto tray = NewTray();
        auto tipAfterLoadTray = [&](const std::wstring& tip) {
            Call(tray.Get(), &_classTray::put_ToolTipName, tip);
            EXPECT_EQ(S_OK, tray->LoadTray());
            EXPECT_EQ(S_OK, tray->UnLoadTray());
            return std::string(shellCalls.at(shellCalls.size() - 2).record.szTip, 64);
        };
        EXPECT_EQ(std::string("Zanthel demo") + '\0' + std::string(51, ' '), tipAfterLoadTray(L"Zanthel demo"));
        ASSERT_EQ(2u, shellCalls.size());
        const NOTIFYICONDATAA& added = shellCalls[0].record;
        EXPECT_EQ(static_cast<DWORD>(NIM_ADD), shellCalls[0].message);
        EXPECT_EQ(88u, added.cbSize);
        EXPECT_EQ(HostWindowOfThisThread(), added.hWnd);
        EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), added.uFlags);
        EXPECT_EQ(static_cast<UINT>(WM_RBUTTONUP), added.uCallbackMessage);
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(added.hIcon), added.uID);
        EXPECT_FALSE(TrayStillHad(added));
        // 63 characters show in full; a longer tip is cut to 63 and still ends.
        const std::string full = std::string(63, 'a') + '\0';
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(63, L'a')));
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(70, L'a')));
    });
}

TEST(TrayIcon, PicturesFallBackToTheBuiltInIconAndNoneOutlivesUnLoadTray)
{
    OnFreshApartment([] {
        ShellSpy spy;
        TempFile icon(L"zanthel_tray_picture.ico", IconFileBytes());
        TempFile bitmap(L"zanthel_tray_picture.bmp", BitmapFileBytes());
        auto tray = NewTray();
        std::vector<NOTIFYICONDATAA> shown;
        for (const std::wstring& path :
             {std::wstring(), icon.path(), bitmap.path(), std::wstring(L"C:\\no\\such.ico")}) {
            const size_t calls = shellCalls.size();
            if (!path.empty()) Call(tray.Get(), &_classTray::put_TrayIcon, path);
            EXPECT_EQ(calls, shellCalls.size());  // the shown icon stays until the next LoadTray
            ASSERT_EQ(S_OK, tray->LoadTray());
            shown.push_back(shellCalls.back().record);
        }
        ASSERT_EQ(S_OK, tray->UnLoadTray());
        const HICON builtIn = shown[0].hIcon;
        EXPECT_TRUE(shown[1].hIcon && shown[1].hIcon != builtIn);
        EXPECT_NE(shown[0].uID, shown[1].uID);  // a new picture is a new identifier
        EXPECT_EQ(builtIn, shown[2].hIcon);
        EXPECT_EQ(builtIn, shown[3].hIcon);
        for (const NOTIFYICONDATAA& record : shown) EXPECT_FALSE(TrayStillHad(record));
    });
}

TEST(TrayIcon, HostWindowClosedFromOutsideIsForgottenAndReplaced)
{
    OnFreshApartment([] {
        ShellSpy spy;
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND closed = HostWindowOfThisThread();
        const NOTIFYICONDATAA shown = shellCalls.back().record;
        ::SendMessageW(closed, WM_CLOSE, 0, 0);
        EXPECT_EQ(nullptr, HostWindowOfThisThread());
        EXPECT_FALSE(TrayStillHad(shown));

        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND fresh = HostWindowOfThisThread();
        ASSERT_TRUE(::IsWindow(fresh));
        EXPECT_EQ(fresh, shellCalls.back().record.hWnd);
        EXPECT_EQ(-1, SendTrayCallback(fresh, WM_LBUTTONDOWN));  // hooked again
        EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
    });
}
