#include "common/host_window.h"

#include "common/errors.h"
#include "common/module.h"

namespace zanthel {
namespace {

// The class of the module's hidden windows, in the form Class names.
template <typename Class, typename Char, typename Register>
ATOM RegisterClassOf(WNDPROC procedure, const Char* name, Register registerClass) noexcept
{
    Class windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module::Instance();
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW, in either form
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return registerClass(&windowClass);
}

}  // namespace

HRESULT RegisterHostWindowClass(const char* name, WNDPROC procedure, bool unicode) noexcept
{
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExA(module::Instance(), name, &existing)) return S_OK;
    ATOM atom = 0;
    if (unicode) {
        // The names are ASCII: widened unit by unit.
        wchar_t wide[64] = {};
        for (UINT i = 0; name[i] && i + 1 < ARRAYSIZE(wide); ++i) wide[i] = static_cast<unsigned char>(name[i]);
        atom = RegisterClassOf<WNDCLASSEXW>(procedure, wide, &::RegisterClassExW);
    } else {
        atom = RegisterClassOf<WNDCLASSEXA>(procedure, name, &::RegisterClassExA);
    }
    if (atom || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return S_OK;
    return LastError();
}

UINT TrackIconPopup(HWND owner, HMENU menu, UINT flags, POINT at, const RECT* exclude) noexcept
{
    // Without the foreground the popup would not close on a click elsewhere.
    ::SetForegroundWindow(owner);
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    if (exclude) params.rcExclude = *exclude;
    // Vertical: a menu that does not fit below the icon opens above it, as the shell's own do.
    const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(menu, exclude ? flags | TPM_VERTICAL : flags, at.x, at.y,
                                                             owner, exclude ? &params : nullptr));
    // Without a message after the popup, it may not close the next time the
    // user clicks elsewhere.
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return chosen;
}

}  // namespace zanthel
