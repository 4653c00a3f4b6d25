#include "support/host.h"

#include <cstdint>
#include <map>
#include <memory>

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

int LiveGdiObjects()
{
    int live = 0;
    for (UINT_PTR index = 1; index <= 0xFFFF; ++index)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++live;
    return live;
}

}  // namespace zanthel::test
