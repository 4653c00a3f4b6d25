#include "classTray.h"

#include "../menu/modMenu.h"
#include "../tray/frmTray.h"
#include "../tray/modTray.h"
#include "apartment.h"
#include "dispatch_arguments.h"
#include "errors.h"
#include "text.h"
#include "type_info.h"

#include <new>
#include <wrl/client.h>

namespace zanthel {
namespace {

HRESULT CopyOut(const std::wstring& text, BSTR* value)
{
    if (!value) return E_POINTER;
    *value = ToBstr(text);
    return S_OK;
}

// The numeric handle of a picture, as the picture's default property gives it.
HRESULT PictureHandle(IPictureDisp* picture, OLE_HANDLE& handle)
{
    if (!picture) return kObjectNotSet;
    Microsoft::WRL::ComPtr<IPicture> asPicture;
    RETURN_IF_FAILED(picture->QueryInterface(IID_PPV_ARGS(&asPicture)));
    return asPicture->get_Handle(&handle);
}

}  // namespace

HRESULT classTray::CreateInstance(REFIID riid, void** object) noexcept
{
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* created = new (std::nothrow) classTray;
    if (!created) return E_OUTOFMEMORY;
    HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

HRESULT classTray::QueryInterface(REFIID riid, void** object) noexcept
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__classTray) {
        *object = static_cast<_classTray*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT classTray::GetTypeInfoCount(UINT* count) noexcept
{
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT classTray::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept
{
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return ClassTrayTypeInfo(info);
}

HRESULT classTray::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(ClassTrayTypeInfo(&info));
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT classTray::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argumentError) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(ClassTrayTypeInfo(&info));
    if (!params)
        return info->Invoke(static_cast<_classTray*>(this), id, flags, params, result, exception, argumentError);
    RETURN_IF_FAILED(CheckArgumentCount(info.Get(), id, flags, *params));
    try {
        std::vector<VARIANT> arguments = UnwrapVariantReferences(*params);
        DISPPARAMS unwrapped = *params;
        unwrapped.rgvarg = arguments.data();
        return info->Invoke(static_cast<_classTray*>(this), id, flags, &unwrapped, result, exception, argumentError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT classTray::get_WindowName(BSTR* value) noexcept
{
    return ComBarrier([&] { return CopyOut(WindowName_, value); });
}

HRESULT classTray::put_WindowName(BSTR* new_WindowName) noexcept
{
    return ComBarrier([&] {
        WindowName_ = FromBstr(new_WindowName);
        // An empty title would match whichever untitled window comes first.
        Apartment().gWindowHandle = WindowName_.empty() ? nullptr : GetWindowHandle(WindowName_);
        return S_OK;
    });
}

HRESULT classTray::get_ToolTipName(BSTR* value) noexcept
{
    return ComBarrier([&] { return CopyOut(ToolTipName_, value); });
}

HRESULT classTray::put_ToolTipName(BSTR* new_ToolTipName) noexcept
{
    return ComBarrier([&] {
        ToolTipName_ = FromBstr(new_ToolTipName);
        return S_OK;
    });
}

HRESULT classTray::get_TrayIcon(BSTR* value) noexcept
{
    return ComBarrier([&] { return CopyOut(TrayIcon_, value); });
}

HRESULT classTray::put_TrayIcon(BSTR* new_TrayIcon) noexcept
{
    return ComBarrier([&] {
        TrayIcon_ = FromBstr(new_TrayIcon);
        return SetTrayIconPicture(std::wstring(TrayIcon_));
    });
}

HRESULT classTray::get_mnuEvent(BSTR* value) noexcept
{
    return ComBarrier([&] { return CopyOut(Apartment().gMenuEvent, value); });
}

HRESULT classTray::put_mnuEvent(BSTR* new_mnuEvent) noexcept
{
    return ComBarrier([&] {
        Apartment().gMenuEvent = FromBstr(new_mnuEvent);
        return S_OK;
    });
}

HRESULT classTray::CreateTray(BSTR* Handle) noexcept
{
    // Through the interface, exactly as a host's own assignment would go.
    _classTray* self = this;
    return ComBarrier([&] { return self->put_mnuEvent(Handle); });
}

HRESULT classTray::LoadTray() noexcept
{
    return ComBarrier([&] {
        Ref<frmTray> window;
        RETURN_IF_FAILED(ObtainHostWindow(window));
        HookTrayWindow(window->Handle());
        const HWND hwnd = window->Handle();
        OLE_HANDLE id = 0;
        RETURN_IF_FAILED(PictureHandle(window->Icon(), id));
        OLE_HANDLE icon = 0;
        RETURN_IF_FAILED(PictureHandle(window->Icon(), icon));
        AddTrayIcon(hwnd, id, reinterpret_cast<HICON>(static_cast<UINT_PTR>(icon)), ToolTipName_);
        return S_OK;
    });
}

HRESULT classTray::UnLoadTray() noexcept
{
    return ComBarrier([] {
        RemoveTrayIcon();
        return S_OK;
    });
}

HRESULT classTray::HideWindow(BSTR* WindowName) noexcept
{
    return ComBarrier([&] {
        HideTargetWindow(FromBstr(WindowName));
        return S_OK;
    });
}

HRESULT classTray::ShowWindow(BSTR* WindowName) noexcept
{
    return ComBarrier([&] {
        ShowTargetWindow(FromBstr(WindowName));
        return S_OK;
    });
}

HRESULT classTray::AppendMenu(BSTR* Caption) noexcept
{
    return ComBarrier([&] { return AppendTrayMenu(FromBstr(Caption)); });
}

HRESULT classTray::DestroyMenu() noexcept
{
    return ComBarrier([] { return DestroyMenuBar(); });
}

HRESULT classTray::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return riid == IID__classTray || riid == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace zanthel
