// The least a program does for a notification icon of today's shell: a hidden
// window, a small icon, NIM_ADD with the full NOTIFYICONDATAW and
// NIM_SETVERSION 4, then NIM_DELETE and out. The yardstick for fresh_notify.exe.
#include "common/icon_resource.h"
#include "common/win.h"

int main()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalNotify";
    ::RegisterClassW(&windowClass);
    HWND window =
        ::CreateWindowExW(0, L"MinimalNotify", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_APP + 1;
    // The same picture as Zanthel.dll's built-in icon, from this program's resources.
    data.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(ZANTHEL_BUILT_IN_ICON), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                 LR_DEFAULTCOLOR));
    ::lstrcpynW(data.szTip, L"Zanthel", ARRAYSIZE(data.szTip));
    const BOOL added = ::Shell_NotifyIconW(NIM_ADD, &data);
    data.uVersion = NOTIFYICON_VERSION_4;
    const BOOL versioned = added && ::Shell_NotifyIconW(NIM_SETVERSION, &data);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    ::DestroyIcon(data.hIcon);
    ::DestroyWindow(window);
    return data.hIcon && added && versioned ? 0 : 1;
}
