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

using NotifyFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
const NotifyFunction realNotify = &::Shell_NotifyIconA;

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

// Stands between Zanthel.dll and the shell for its lifetime, through the DLL's
// import slot: the tray itself cannot be asked for an icon's tip or identifier.
class ShellSpy {
public:
    ShellSpy()
    {
        shellCalls.clear();
        auto* base = reinterpret_cast<BYTE*>(Dll());
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
            base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        for (; dll->Name && !slot_; ++dll)
            for (auto** slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot && !slot_; ++slot)
                if (*slot == reinterpret_cast<void*>(realNotify)) slot_ = slot;
        EXPECT_TRUE(slot_);
        Put(reinterpret_cast<void*>(&RecordNotify));
    }
    ~ShellSpy() { Put(reinterpret_cast<void*>(realNotify)); }

private:
    void Put(void* function)
    {
        DWORD old;
        if (!slot_ || !::VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old)) return;
        *slot_ = function;
        ::VirtualProtect(slot_, sizeof(void*), old, &old);
    }
    void** slot_ = nullptr;
};

// Whether the notification area still held the icon; it is gone afterwards.
bool TrayStillHad(const NOTIFYICONDATAA& added)
{
    NOTIFYICONDATAA probe{};
    probe.cbSize = 88;
    probe.hWnd = added.hWnd;
    probe.uID = added.uID;
    return realNotify(NIM_DELETE, &probe);
}

void Assign(_classTray* tray, HRESULT (STDMETHODCALLTYPE _classTray::*put)(BSTR*), const std::wstring& text)
{
    Bstr value(text);
    EXPECT_EQ(S_OK, (tray->*put)(&value));
}

}  // namespace

TEST(TrayIcon, TheShellGetsTheHostWindowItsCallbackAndATerminatedTip)
{
    OnFreshApartment([] {
        ShellSpy spy;
        auto tray = NewTray();
        auto tipAfterLoadTray = [&](const std::wstring& tip) {
            Assign(tray.Get(), &_classTray::put_ToolTipName, tip);
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
        EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), shellCalls[1].message);
        EXPECT_FALSE(TrayStillHad(added));
        // 63 characters show in full; a longer tip is cut to 63 and still ends.
        const std::string full = std::string(63, 'a') + '\0';
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(63, L'a')));
        EXPECT_EQ(full, tipAfterLoadTray(std::wstring(70, L'a')));
    });
}

TEST(TrayIcon, NewPictureThenLoadTrayStillLeavesTheTrayEmptyAfterUnLoadTray)
{
    OnFreshApartment([] {
        ShellSpy spy;
        TempFile icon(L"zanthel_tray_new_picture.ico", IconFileBytes());
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        ASSERT_EQ(1u, shellCalls.size());
        Assign(tray.Get(), &_classTray::put_TrayIcon, icon.path());
        EXPECT_EQ(1u, shellCalls.size());  // the shown icon stays until the next LoadTray
        ASSERT_EQ(S_OK, tray->LoadTray());
        ASSERT_EQ(S_OK, tray->UnLoadTray());
        const NOTIFYICONDATAA first = shellCalls.front().record, last = shellCalls.back().record;
        EXPECT_NE(first.uID, last.uID);  // a new picture is a new identifier
        EXPECT_FALSE(TrayStillHad(first));
        EXPECT_FALSE(TrayStillHad(last));
    });
}

TEST(TrayIcon, IconFilesAreShownAndAnythingElseFallsBackToTheBuiltInIcon)
{
    OnFreshApartment([] {
        ShellSpy spy;
        TempFile icon(L"zanthel_tray_picture.ico", IconFileBytes());
        TempFile bitmap(L"zanthel_tray_picture.bmp", BitmapFileBytes());
        auto tray = NewTray();
        auto shownAfter = [&](const std::wstring& path) {
            if (!path.empty()) Assign(tray.Get(), &_classTray::put_TrayIcon, path);
            EXPECT_EQ(S_OK, tray->LoadTray());
            EXPECT_EQ(S_OK, tray->UnLoadTray());
            return shellCalls.at(shellCalls.size() - 2).record.hIcon;
        };
        const HICON builtIn = shownAfter(L"");
        const HICON fromFile = shownAfter(icon.path());
        EXPECT_TRUE(fromFile && fromFile != builtIn);
        EXPECT_EQ(builtIn, shownAfter(bitmap.path()));
        EXPECT_EQ(builtIn, shownAfter(L"C:\\no\\such\\folder\\icon.ico"));
    });
}

TEST(TrayIcon, HostWindowClosedFromOutsideIsForgottenAndReplaced)
{
    OnFreshApartment([] {
        ShellSpy spy;
        auto tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND closed = HostWindowOfThisThread();
        const LONG_PTR hook = ::GetWindowLongPtrA(closed, GWLP_WNDPROC);
        const NOTIFYICONDATAA shown = shellCalls.back().record;
        ::SendMessageW(closed, WM_CLOSE, 0, 0);
        EXPECT_FALSE(::IsWindow(closed));
        EXPECT_EQ(nullptr, HostWindowOfThisThread());
        EXPECT_FALSE(TrayStillHad(shown));

        ASSERT_EQ(S_OK, tray->LoadTray());
        HWND fresh = HostWindowOfThisThread();
        ASSERT_TRUE(::IsWindow(fresh));
        EXPECT_EQ(fresh, shellCalls.back().record.hWnd);
        EXPECT_EQ(hook, ::GetWindowLongPtrA(fresh, GWLP_WNDPROC));  // the tray hook, again
        EXPECT_EQ(-1, SendTrayCallback(fresh, WM_LBUTTONDOWN));
        EXPECT_EQ(L"LeftMouse", MenuEvent(tray.Get()));
    });
}
