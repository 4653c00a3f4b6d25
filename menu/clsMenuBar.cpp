#include "clsMenuBar.h"

#include "../component/apartment.h"
#include "../component/errors.h"
#include "../component/text.h"
#include "clsMenu.h"

namespace zanthel {

HRESULT clsMenuBar::Construct(Ref<clsMenuBar>& bar)
{
    bar = Make<clsMenuBar>();
    Apartment().gMenuBar = bar;
    return S_OK;
}

HRESULT clsMenuBar::Create(HWND hwnd)
{
    ApartmentState& state = Apartment();
    state.gMenuWindow = hwnd;
    ::SetMenu(hwnd, ::GetMenu(hwnd));
    ::DrawMenuBar(hwnd);
    Menus.KeepFirstSlotOnly();
    RETURN_IF_FAILED(state.gMenuCaptions.Resize(69));
    return HookWindow(hwnd);
}

HRESULT clsMenuBar::HookWindow(HWND hwnd)
{
    ApartmentState& state = Apartment();
    // Saving our own procedure as the previous one would recurse forever.
    if (hwnd && state.menuHookedWindow == hwnd) return S_OK;
    state.menuHookedWindow = hwnd;
    state.gPrevMenuProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuWindowProc));
    return S_OK;
}

HRESULT clsMenuBar::Destroy(HWND hwnd)
{
    Apartment().gMenuWindow = hwnd;
    ::DestroyMenu(::GetMenu(hwnd));
    // The window would otherwise keep the destroyed handle as its menu, and
    // later menu calls could reach whatever menu reuses that handle value.
    ::SetMenu(hwnd, nullptr);
    return S_OK;
}

HRESULT clsMenuBar::AddMenu(const std::wstring& Caption)
{
    ApartmentState& state = Apartment();
    HMENU menu = ::GetMenu(state.gMenuWindow);
    LONG id;
    RETURN_IF_FAILED(state.gMenuCaptions.Append(Caption, id));
    // An ordinary text entry carrying the identifier, so a node can later find
    // its item by command and turn it into a popup.
    ::AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(id), ToAnsi(Caption).c_str());
    ::SetMenu(state.gMenuWindow, menu);
    ::DrawMenuBar(state.gMenuWindow);
    return Menus.Append(Caption, id, menu);
}

HRESULT clsMenuBar::SubMenu(LONG index, Ref<clsMenu>& node) const { return Menus.At(index, node); }

HRESULT clsMenuBar::ClickMenu(LONG ClickedMenuId)
{
    CaptionTable& captions = Apartment().gMenuCaptions;
    CaptionTable::Lock lock(captions);
    std::wstring* caption;
    RETURN_IF_FAILED(captions.Entry(ClickedMenuId, caption));
    if (!subscriber_) return S_OK;
    return subscriber_->MenuBar_MenuClicked(ClickedMenuId, *caption);
}

LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    WNDPROC previous = nullptr;
    try {
        ApartmentState* state = ApartmentIfAny();
        if (state) previous = state->gPrevMenuProc;
        if (!state) {
            // The apartment has ended; nothing of ours is left to run.
        } else if (msg == WM_CLOSE) {
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            if (state->menuHookedWindow == hwnd) state->menuHookedWindow = nullptr;
        } else if (msg == WM_COMMAND && state->gMenuBar) {
            // Keep the bar alive through the event; identifiers outside the
            // table (control notifications) raise nothing and go on.
            Ref<clsMenuBar> bar = state->gMenuBar;
            bar->ClickMenu(static_cast<LONG>(wParam));
        }
    } catch (...) {
        // Nothing may unwind into the system's dispatch; the message goes on.
    }
    if (!previous) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    return ::CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

}  // namespace zanthel
