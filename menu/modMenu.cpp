#include "menu/modMenu.h"

#include "common/errors.h"
#include "menu/clsMenu.h"
#include "menu/clsMenuBar.h"
#include "common/icon_file.h"
#include "menu/menu_state.h"

#include <wrl/client.h>

namespace zanthel {
namespace {

// Only icons can be the window's icon; any other picture is refused. The
// picture comes from the file's checked bytes: given the path, the system's
// loader would fetch anything without a drive letter as a URL.
HRESULT LoadIconPicture(const Text& path, Microsoft::WRL::ComPtr<IPictureDisp>& picture)
{
    Microsoft::WRL::ComPtr<IStream> stream;
    ULONG size = 0;
    RETURN_IF_FAILED(ReadIconFile(path, stream, size));
    RETURN_IF_FAILED(::OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPictureDisp,
                                      reinterpret_cast<void**>(picture.GetAddressOf())));
    Microsoft::WRL::ComPtr<IPicture> asPicture;
    RETURN_IF_FAILED(picture.As(&asPicture));
    SHORT type = PICTYPE_UNINITIALIZED;
    RETURN_IF_FAILED(asPicture->get_Type(&type));
    return type == PICTYPE_ICON ? S_OK : CTL_E_INVALIDPICTURE;
}

// The bar's first node, taken anew for each use, as the bar may have changed.
HRESULT FirstNode(MenuHost& window, Ref<clsMenu>& node)
{
    RETURN_IF_FAILED(window.MenuBar()->SubMenu(0, node));
    return node ? S_OK : kObjectNotSet;
}

}  // namespace

HRESULT CreateMenuBar(MenuHost& window) noexcept
{
    clsMenuBar* bar = window.MenuBar();
    RETURN_IF_FAILED(bar->Create(window.Handle()));
    Text pop;
    RETURN_IF_FAILED(pop.Assign(L"Pop"));
    return bar->AddMenu(pop);
}

HRESULT DestroyMenuBar(MenuHost& window) noexcept { return window.MenuBar()->Destroy(window.Handle()); }

HRESULT AppendTrayMenu(MenuHost& window, const Text& Caption) noexcept
{
    MenuState* state = MenuApartment();
    if (!state) return E_OUTOFMEMORY;
    if (state->gTopCaption.Equals(kTopCaptionSentinel)) {
        RETURN_IF_FAILED(state->gTopCaption.Assign(Caption));
        window.SetTopItemCaption(state->gTopCaption);
        return S_OK;
    }
    Ref<clsMenu> node;
    RETURN_IF_FAILED(FirstNode(window, node));
    RETURN_IF_FAILED(node->AddMenu(Caption));
    Text label;
    RETURN_IF_FAILED(FirstNode(window, node));
    RETURN_IF_FAILED(label.Assign(node->Caption));
    RETURN_IF_FAILED(label.Append(L" contains "));
    RETURN_IF_FAILED(FirstNode(window, node));
    RETURN_IF_FAILED(label.AppendNumber(node->Count()));
    RETURN_IF_FAILED(label.Append(L" menu's"));
    window.SetLabelCaption(label);
    return S_OK;
}

HRESULT SetTrayIconPicture(MenuHost& window, const Text& path) noexcept
{
    Microsoft::WRL::ComPtr<IPictureDisp> picture;
    if (SUCCEEDED(LoadIconPicture(path, picture))) {
        window.SetIcon(picture.Get());
        return S_OK;
    }
    window.SetIcon(window.Image1());
    return S_OK;
}

}  // namespace zanthel
