#include "menu/clsMenuBar.h"

#include "common/errors.h"
#include "common/window_hook.h"
#include "menu/clsMenu.h"
#include "menu/menu_state.h"

namespace zanthel {
namespace {

constexpr WindowHook kMenuHook{"Zanthel.MenuHook", &MenuWindowProc};

}  // namespace

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
    kMenuHook.Install(hwnd);
    return S_OK;
}

HRESULT clsMenuBar::Destroy(HWND hwnd) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    state->gMenuWindow = hwnd;
    ::DestroyMenu(::GetMenu(hwnd));
    // The window and the nodes would otherwise keep the destroyed handles, and
    // later menu calls could reach whatever menu reuses one of those values.
    ::SetMenu(hwnd, nullptr);
    Menus.ForgetMenus();
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
    if (msg == WM_CLOSE) {
        // Takes the tray hook in front of this one out with it.
        kMenuHook.Restore(hwnd);
    } else if (msg == WM_COMMAND) {
        // Once the apartment has ended nothing of ours runs, but the message still goes on.
        MenuState* state = ExistingApartmentState<MenuState>();
        if (state && state->gMenuBar) {
            // Keep the bar alive through the event; identifiers outside the
            // table (control notifications) raise nothing and go on.
            Ref<clsMenuBar> bar = state->gMenuBar;
            bar->ClickMenu(static_cast<LONG>(wParam));
        }
    }
    return kMenuHook.PassOn(hwnd, msg, wParam, lParam);
}

void ForgetMenuWindow(HWND hwnd) noexcept { kMenuHook.Forget(hwnd); }

}  // namespace zanthel
