#include "support/host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace zanthel::test {

void PumpMessages(std::chrono::milliseconds duration)
{
    PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {

// The first window of this thread whose class is className and, if asked, is visible.
HWND FindThreadWindow(const wchar_t* className, bool visibleOnly)
{
    struct Search {
        const wchar_t* className;
        bool visibleOnly;
        HWND found;
    } search{className, visibleOnly, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM parameter) WINAPI -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            wchar_t name[64];
            if (search->visibleOnly && !::IsWindowVisible(hwnd)) return TRUE;
            if (!::GetClassNameW(hwnd, name, 64) || std::wstring(name) != search->className) return TRUE;
            search->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND HostWindowOfThisThread() { return FindThreadWindow(L"ZanthelHostWindow", false); }

LRESULT SendTrayCallback(HWND host, LPARAM mouseMessage) { return ::SendMessageW(host, WM_RBUTTONUP, 0, mouseMessage); }

bool SendCallbackFromAnotherThread(HWND window, UINT event)
{
    return ::SendMessageTimeoutW(window, WM_APP + 1, 0, MAKELPARAM(event, 1), SMTO_NORMAL, 5000, nullptr) != 0;
}

std::wstring MenuItemText(HMENU menu, UINT id)
{
    wchar_t text[256] = {};
    int length = ::GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
    return std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0);
}

namespace {

std::map<UINT_PTR, std::function<void()>>& PendingActions()
{
    static std::map<UINT_PTR, std::function<void()>> actions;
    return actions;
}

void CALLBACK RunPending(HWND, UINT, UINT_PTR timer, DWORD)
{
    ::KillTimer(nullptr, timer);
    auto& actions = PendingActions();
    auto found = actions.find(timer);
    if (found == actions.end()) return;
    auto action = std::move(found->second);
    actions.erase(found);
    action();
}

}  // namespace

void RunSoon(std::chrono::milliseconds delay, std::function<void()> action)
{
    UINT_PTR timer = ::SetTimer(nullptr, 0, static_cast<UINT>(delay.count()), &RunPending);
    PendingActions()[timer] = std::move(action);
}

HWND OpenPopupMenuWindow() { return FindThreadWindow(L"#32768", true); }

TitledWindow::TitledWindow(const std::wstring& title, bool visible)
{
    static const ATOM windowClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZanthelTestTarget";
        return ::RegisterClassW(&wc);
    }();
    (void)windowClass;
    hwnd_ = ::CreateWindowExW(0, L"ZanthelTestTarget", title.c_str(), WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                              10, 10, 200, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

TitledWindow::~TitledWindow()
{
    if (hwnd_) ::DestroyWindow(hwnd_);
}

TempFile::TempFile(const std::wstring& name, const std::string& contents)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + name;
    HANDLE file =
        ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    ::CloseHandle(file);
}

TempFile::~TempFile() { ::DeleteFileW(path_.c_str()); }

namespace {

void Put16(std::string& out, uint16_t v) { out.append({char(v & 0xff), char(v >> 8)}); }
void Put32(std::string& out, uint32_t v)
{
    Put16(out, uint16_t(v & 0xffff));
    Put16(out, uint16_t(v >> 16));
}

// A 16 x 16 DIB at 32 bits per pixel, all one colour; height doubled for icons.
std::string Dib(bool forIcon)
{
    std::string out;
    Put32(out, 40);
    Put32(out, 16);
    Put32(out, forIcon ? 32 : 16);
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int i = 0; i < 16 * 16; ++i) Put32(out, 0xff20a040);
    if (forIcon) out.append(16 * 4, '\0');  // AND mask: every pixel opaque
    return out;
}

}  // namespace

std::string IconFileBytes()
{
    std::string image = Dib(true);
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 1);
    out.append({16, 16, 0, 0});
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<uint32_t>(image.size()));
    Put32(out, 22);
    return out + image;
}

std::string BitmapFileBytes()
{
    std::string image = Dib(false);
    std::string out = "BM";
    Put32(out, static_cast<uint32_t>(14 + image.size()));
    Put32(out, 0);
    Put32(out, 14 + 40);
    return out + image;
}

namespace {

// How Wine 8 numbers handles, found by creating, destroying and re-creating
// menus, icons and bitmaps and printing the values:
// - USER handles (menus, icons, cursors, windows): the low 16 bits are
//   0x20 + 2 * index, up to 0xFFEF; the high 16 bits are a generation that
//   starts at 1 and grows when the slot is used again (0x00020052, then
//   0x00030052). An odd low word names the same slot as the even one below it.
// - GDI handles: the low 16 bits are the index; the high 16 bits hold the
//   object's type in the low byte (0x09 for a bitmap) and a generation in the
//   high byte (0x0209003A, then 0x0A090045 for a reused slot).
// Both accept a handle whose high 16 bits are zero for the current object of
// that slot, so a census tries each low word once: 32,712 USER values and
// 65,536 GDI values, a few milliseconds under Wine.
constexpr UINT_PTR kFirstUserHandle = 0x20;
constexpr UINT_PTR kLastUserHandle = 0xFFEF;
constexpr UINT_PTR kLastGdiHandle = 0xFFFF;

using GetIconSize = BOOL(WINAPI*)(HICON, UINT, LONG*, LONG*);

// win32u's icon-size call fails quietly for anything that is not an icon or
// cursor, where GetIconInfo would make two bitmaps for each one found.
bool IsIcon(HICON candidate)
{
    static const GetIconSize getIconSize = [] {
        HMODULE win32u = ::GetModuleHandleW(L"win32u.dll");
        return win32u ? reinterpret_cast<GetIconSize>(
                            reinterpret_cast<void*>(::GetProcAddress(win32u, "NtUserGetIconSize")))
                      : nullptr;
    }();
    if (getIconSize) {
        LONG width = 0, height = 0;
        return getIconSize(candidate, 0, &width, &height) != FALSE;
    }
    ICONINFO info{};
    if (!::GetIconInfo(candidate, &info)) return false;
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return true;
}

void CountGdiObjects(Census& census)
{
    for (UINT_PTR value = 1; value <= kLastGdiHandle; ++value) {
        const DWORD type = ::GetObjectType(reinterpret_cast<HGDIOBJ>(value));
        if (type) ++census.gdiObjects;
        if (type == OBJ_BITMAP) ++census.bitmaps;
    }
}

long long BusyHeapBytes()
{
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    long long bytes = 0;
    for (HANDLE heap : heaps) {
        if (!::HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        ::HeapUnlock(heap);
    }
    return bytes;
}

}  // namespace

Census TakeCensus()
{
    Census census{};
    for (UINT_PTR value = kFirstUserHandle; value <= kLastUserHandle; value += 2) {
        if (::IsMenu(reinterpret_cast<HMENU>(value))) ++census.menus;
        if (IsIcon(reinterpret_cast<HICON>(value))) ++census.icons;
    }
    CountGdiObjects(census);
    census.heapBytes = BusyHeapBytes();
    return census;
}

int LiveGdiObjects()
{
    Census census{};
    CountGdiObjects(census);
    return static_cast<int>(census.gdiObjects);
}

}  // namespace zanthel::test
