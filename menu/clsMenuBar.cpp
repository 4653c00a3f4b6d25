#include "clsMenuBar.h"

#include "errors.h"
#include "clsMenu.h"
#include "menu_state.h"

namespace zanthel {

MenuState::MenuState() = default;
MenuState::~MenuState() = default;

HRESULT clsMenuBar::Construct(Ref<clsMenuBar>& bar) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    bar = Make<clsMenuBar>();
    if (!bar) return E_OUTOFMEMORY;
    state->gMenuBar = bar;
    return S_OK;
}

HRESULT clsMenuBar::Create(HWND hwnd) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    state->gMenuWindow = hwnd;
    ::SetMenu(hwnd, ::GetMenu(hwnd));
    ::DrawMenuBar(hwnd);
    RETURN_IF_FAILED(Menus.KeepFirstSlotOnly());
    RETURN_IF_FAILED(state->gMenuCaptions.Resize(69));
    return HookWindow(hwnd);
}

HRESULT clsMenuBar::HookWindow(HWND hwnd) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    // Saving our own procedure as the previous one would recurse forever.
    if (hwnd && state->menuHookedWindow == hwnd) return S_OK;
    state->menuHookedWindow = hwnd;
    state->gPrevMenuProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuWindowProc));
    return S_OK;
}

HRESULT clsMenuBar::Destroy(HWND hwnd) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    state->gMenuWindow = hwnd;
    ::DestroyMenu(::GetMenu(hwnd));
    // The window would otherwise keep the destroyed handle as its menu, and
    // later menu calls could reach whatever menu reuses that handle value.
    ::SetMenu(hwnd, nullptr);
    return S_OK;
}

HRESULT clsMenuBar::AddMenu(const Text& Caption) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    HMENU menu = ::GetMenu(state->gMenuWindow);
    LONG id;
    RETURN_IF_FAILED(state->gMenuCaptions.Append(Caption, id));
    AnsiText ansiCaption;
    RETURN_IF_FAILED(ansiCaption.Convert(Caption));
    // An ordinary text entry carrying the identifier, so a node can later find
    // its item by command and turn it into a popup.
    ::AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(id), ansiCaption.Chars());
    ::SetMenu(state->gMenuWindow, menu);
    ::DrawMenuBar(state->gMenuWindow);
    return Menus.Append(Caption, id, menu);
}

HRESULT clsMenuBar::SubMenu(LONG index, Ref<clsMenu>& node) const noexcept { return Menus.At(index, node); }

HRESULT clsMenuBar::ClickMenu(LONG ClickedMenuId) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    CaptionTable& captions = state->gMenuCaptions;
    CaptionTable::Lock lock(captions);
    BSTR caption;
    RETURN_IF_FAILED(captions.Entry(ClickedMenuId, caption));
    if (!subscriber_) return S_OK;
    return subscriber_->MenuBar_MenuClicked(ClickedMenuId, caption);
}

LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    MenuState* state = ExistingApartmentState<MenuState>();
    // The apartment has ended; nothing of ours is left to run.
    if (!state) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    const WNDPROC previous = state->gPrevMenuProc;
    if (msg == WM_CLOSE) {
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        ForgetMenuWindow(hwnd);
    } else if (msg == WM_COMMAND && state->gMenuBar) {
        // Keep the bar alive through the event; identifiers outside the
        // table (control notifications) raise nothing and go on.
        Ref<clsMenuBar> bar = state->gMenuBar;
        bar->ClickMenu(static_cast<LONG>(wParam));
    }
    if (!previous) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    return ::CallWindowProcA(previous, hwnd, msg, wParam, lParam);
}

void ForgetMenuWindow(HWND hwnd) noexcept
{
    MenuState* state = ExistingApartmentState<MenuState>();
    if (state && state->menuHookedWindow == hwnd) state->menuHookedWindow = nullptr;
}

}  // namespace zanthel
