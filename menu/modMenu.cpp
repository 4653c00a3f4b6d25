#include "modMenu.h"

#include "../component/apartment.h"
#include "../component/errors.h"
#include "../tray/frmTray.h"
#include "clsMenu.h"
#include "clsMenuBar.h"

#include <string>

namespace zanthel {
namespace {

constexpr const wchar_t* kTopCaptionSentinel = L"Zanthel";

// Only icons can be the window's icon; any other picture is refused.
HRESULT LoadIconPicture(const std::wstring& path, Microsoft::WRL::ComPtr<IPictureDisp>& picture)
{
    std::wstring mutablePath = path;
    RETURN_IF_FAILED(::OleLoadPicturePath(mutablePath.data(), nullptr, 0, 0, IID_IPictureDisp,
                                          reinterpret_cast<void**>(picture.GetAddressOf())));
    Microsoft::WRL::ComPtr<IPicture> asPicture;
    RETURN_IF_FAILED(picture.As(&asPicture));
    SHORT type = PICTYPE_UNINITIALIZED;
    RETURN_IF_FAILED(asPicture->get_Type(&type));
    return type == PICTYPE_ICON ? S_OK : CTL_E_INVALIDPICTURE;
}

}  // namespace

HRESULT CreateMenuBar()
{
    Ref<frmTray> window;
    RETURN_IF_FAILED(ObtainHostWindow(window));
    clsMenuBar* bar = window->MenuBar();
    RETURN_IF_FAILED(bar->Create(window->Handle()));
    return bar->AddMenu(L"Pop");
}

HRESULT DestroyMenuBar()
{
    Ref<frmTray> window;
    RETURN_IF_FAILED(ObtainHostWindow(window));
    return window->MenuBar()->Destroy(window->Handle());
}

HRESULT AppendTrayMenu(const std::wstring& Caption)
{
    Ref<frmTray> window;
    RETURN_IF_FAILED(ObtainHostWindow(window));
    ApartmentState& state = Apartment();
    if (state.gTopCaption == kTopCaptionSentinel) {
        state.gTopCaption = Caption;
        window->SetTopItemCaption(state.gTopCaption);
        return S_OK;
    }
    clsMenuBar* bar = window->MenuBar();
    Ref<clsMenu> node;
    RETURN_IF_FAILED(bar->SubMenu(0, node));
    if (!node) return kObjectNotSet;
    RETURN_IF_FAILED(node->AddMenu(Caption));
    // The node is looked up afresh for each use, as the bar may have changed.
    RETURN_IF_FAILED(bar->SubMenu(0, node));
    if (!node) return kObjectNotSet;
    std::wstring label = node->Caption + L" contains ";
    RETURN_IF_FAILED(bar->SubMenu(0, node));
    if (!node) return kObjectNotSet;
    label += std::to_wstring(node->Count()) + L" menu's";
    window->SetLabelCaption(label);
    return S_OK;
}

HRESULT SetTrayIconPicture(const std::wstring& path)
{
    Ref<frmTray> window;
    RETURN_IF_FAILED(ObtainHostWindow(window));
    Microsoft::WRL::ComPtr<IPictureDisp> picture;
    if (SUCCEEDED(LoadIconPicture(path, picture))) {
        window->SetIcon(picture.Get());
        return S_OK;
    }
    window->SetIcon(window->Image1());
    return S_OK;
}

}  // namespace zanthel
