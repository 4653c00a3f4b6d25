#include "clsMenu.h"

#include "../component/apartment.h"
#include "../component/errors.h"
#include "../component/handles.h"
#include "../component/text.h"
#include "modMenu.h"

namespace zanthel {

LONG clsMenu::Count() const { return ::GetMenuItemCount(::GetSubMenu(hwnd, Pos)); }

HRESULT clsMenu::AddMenu(const std::wstring& newCaption)
{
    ApartmentState& state = Apartment();
    LONG id;
    RETURN_IF_FAILED(state.gMenuCaptions.Append(newCaption, id));
    const std::string ansiCaption = ToAnsi(newCaption);
    HMENU popup;
    if (Count() <= 0) {
        HMENU windowMenu = ::GetMenu(state.gMenuWindow);
        // Owned here until attached: one attached nowhere is destroyed, since
        // nothing else would ever free it.
        UniqueMenu created(::CreatePopupMenu());
        popup = created.get();
        ::AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(id), ansiCaption.c_str());
        if (::ModifyMenuA(windowMenu, static_cast<UINT>(Id), MF_BYCOMMAND | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                          ToAnsi(Caption).c_str()))
            created.release();
    } else {
        popup = ::GetSubMenu(hwnd, Pos);
        const UINT flags = newCaption == L"-" ? MF_SEPARATOR : MF_STRING;
        ::AppendMenuA(popup, flags, static_cast<UINT_PTR>(id), ansiCaption.c_str());
    }
    ::DrawMenuBar(state.gMenuWindow);
    return SubMenus.Append(newCaption, id, popup);
}

HRESULT clsMenu::SubMenu(LONG index, Ref<clsMenu>& node) const { return SubMenus.At(index, node); }

HRESULT clsMenu::DestroyMenu() { return DestroyMenuBar(); }

}  // namespace zanthel
