// The least a program does for a tray icon: a hidden window and NIM_ADD, then
// NIM_DELETE and out. The yardstick for fresh_tray.exe.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

int main()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MinimalTray";
    ::RegisterClassA(&windowClass);
    HWND window =
        ::CreateWindowExA(0, "MinimalTray", "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_APP;
    data.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    std::strcpy(data.szTip, "Zanthel");
    const BOOL added = ::Shell_NotifyIconA(NIM_ADD, &data);
    ::Shell_NotifyIconA(NIM_DELETE, &data);
    ::DestroyWindow(window);
    return added ? 0 : 1;
}
