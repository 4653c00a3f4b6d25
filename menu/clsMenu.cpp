#include "menu/clsMenu.h"

#include "common/errors.h"
#include "common/handles.h"
#include "menu/clsMenuBar.h"
#include "menu/menu_state.h"

namespace zanthel {

LONG clsMenu::Count() const noexcept { return ::GetMenuItemCount(::GetSubMenu(hwnd, Pos)); }

HRESULT clsMenu::AddMenu(const Text& newCaption) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    LONG id;
    RETURN_IF_FAILED(state->gMenuCaptions.Append(newCaption, id));
    AnsiText ansiCaption;
    RETURN_IF_FAILED(ansiCaption.Convert(newCaption));
    HMENU popup;
    if (Count() <= 0) {
        AnsiText ansiOwnCaption;
        RETURN_IF_FAILED(ansiOwnCaption.Convert(Caption));
        HMENU windowMenu = ::GetMenu(state->gMenuWindow);
        // Owned here until attached: one attached nowhere is destroyed, since
        // nothing else would ever free it, and the child keeps no handle to it.
        UniqueMenu created(::CreatePopupMenu());
        ::AppendMenuA(created.get(), MF_STRING, static_cast<UINT_PTR>(id), ansiCaption.Chars());
        const bool attached = ::ModifyMenuA(windowMenu, static_cast<UINT>(Id), MF_BYCOMMAND | MF_POPUP,
                                            reinterpret_cast<UINT_PTR>(created.get()), ansiOwnCaption.Chars());
        popup = attached ? created.release() : nullptr;
    } else {
        popup = ::GetSubMenu(hwnd, Pos);
        const UINT flags = newCaption.Equals(L"-") ? MF_SEPARATOR : MF_STRING;
        ::AppendMenuA(popup, flags, static_cast<UINT_PTR>(id), ansiCaption.Chars());
    }
    ::DrawMenuBar(state->gMenuWindow);
    return SubMenus.Append(newCaption, id, popup);
}

HRESULT clsMenu::SubMenu(LONG index, Ref<clsMenu>& node) const noexcept { return SubMenus.At(index, node); }

// The whole menu of the bound window goes, exactly as through the host window.
HRESULT clsMenu::DestroyMenu() noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    if (!state->gMenuBar) return kObjectNotSet;
    return state->gMenuBar->Destroy(state->gMenuWindow);
}

}  // namespace zanthel
