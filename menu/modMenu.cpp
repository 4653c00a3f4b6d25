#include "menu/modMenu.h"

#include "common/errors.h"
#include "menu/clsMenu.h"
#include "menu/clsMenuBar.h"
#include "common/dpi.h"
#include "common/icon_file.h"
#include "common/icon_picture.h"
#include "menu/menu_state.h"

#include <utility>
#include <wrl/client.h>

namespace zanthel {
namespace {

// Only icons can be the window's icon; any other picture is refused. The
// picture comes from the file's checked bytes, at the notification area's
// size and the deepest colours the display shows: given the path, the
// system's loader would fetch anything without a drive letter as a URL, and
// given the bytes it takes the file's first image, often its 16-colour one.
HRESULT LoadIconPicture(const Text& path, Microsoft::WRL::ComPtr<IPictureDisp>& picture)
{
    UniqueIcon icon;
    RETURN_IF_FAILED(LoadIconFile(path, ShellIconMetric(SM_CXSMICON), ShellIconMetric(SM_CYSMICON), icon));
    return IconPicture(std::move(icon), picture);
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
