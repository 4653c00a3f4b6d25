#include "../component/apartment.h"
#include "../component/text.h"
#include "modTray.h"

namespace zanthel {
namespace {

HWND ChooseTarget(const std::wstring& title)
{
    ApartmentState& state = Apartment();
    state.gTargetWindow = title.empty() ? state.gWindowHandle : GetWindowHandle(title);
    return state.gTargetWindow;
}

}  // namespace

HWND GetWindowHandle(const std::wstring& title)
{
    if (title.find(L'\0') != std::wstring::npos) return nullptr;
    return ::FindWindowA(nullptr, ToAnsi(title).c_str());
}

void HideTargetWindow(const std::wstring& title) { ::ShowWindow(ChooseTarget(title), SW_HIDE); }

void ShowTargetWindow(const std::wstring& title)
{
    HWND target = ChooseTarget(title);
    ::ShowWindow(target, SW_RESTORE);
    ::ShowWindow(target, SW_SHOW);
}

}  // namespace zanthel
