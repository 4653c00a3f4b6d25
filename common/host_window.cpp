#include "common/host_window.h"

#include "common/module.h"

namespace zanthel {
namespace {

HRESULT LastError() noexcept
{
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace

HRESULT RegisterHostWindowClass(const char* name, WNDPROC procedure, bool unicode) noexcept
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (::GetClassInfoExA(module::Instance(), name, &windowClass)) return S_OK;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module::Instance();
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    ATOM atom = 0;
    if (unicode) {
        // The names are ASCII: widened unit by unit.
        wchar_t wide[64] = {};
        for (UINT i = 0; name[i] && i + 1 < ARRAYSIZE(wide); ++i) wide[i] = static_cast<unsigned char>(name[i]);
        WNDCLASSEXW unicodeClass{};
        unicodeClass.cbSize = sizeof(unicodeClass);
        unicodeClass.lpfnWndProc = procedure;
        unicodeClass.hInstance = windowClass.hInstance;
        unicodeClass.hCursor = windowClass.hCursor;
        unicodeClass.hbrBackground = windowClass.hbrBackground;
        unicodeClass.lpszClassName = wide;
        atom = ::RegisterClassExW(&unicodeClass);
    } else {
        atom = ::RegisterClassExA(&windowClass);
    }
    if (atom || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return S_OK;
    return LastError();
}

LONG TrackIconPopup(HWND owner, HMENU menu, UINT flags, int x, int y) noexcept
{
    // Without the foreground the popup would not close on a click elsewhere.
    ::SetForegroundWindow(owner);
    const LONG chosen = static_cast<LONG>(::TrackPopupMenuEx(menu, flags, x, y, owner, nullptr));
    // Without a message after the popup, it may not close the next time the
    // user clicks elsewhere.
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return chosen;
}

}  // namespace zanthel
