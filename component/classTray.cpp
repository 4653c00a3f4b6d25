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

// A property get: the out pointer is null before anything can fail.
template <typename Text>
HRESULT PropertyGet(BSTR* value, Text text) noexcept
{
    if (!value) return E_POINTER;
    *value = nullptr;
    return ComBarrier([&] {
        *value = ToBstr(text());
        return S_OK;
    });
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
    const ClassTrayType* type;
    RETURN_IF_FAILED(ClassTrayTypeInfo(type));
    type->info->AddRef();
    *info = type->info;
    return S_OK;
}

HRESULT classTray::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count > 0 && (!names || !ids)) return E_INVALIDARG;
    const ClassTrayType* type;
    RETURN_IF_FAILED(ClassTrayTypeInfo(type));
    return type->info->GetIDsOfNames(names, count, ids);
}

HRESULT classTray::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argumentError) noexcept
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    // A host polls mnuEvent for months: everything here is worked out once.
    const ClassTrayType* type;
    RETURN_IF_FAILED(ClassTrayTypeInfo(type));
    if (!type->members.Answers(id, flags)) return DISP_E_MEMBERNOTFOUND;
    if (type->members.TooManyArguments(id, flags, params->cArgs)) return DISP_E_BADPARAMCOUNT;
    InvokeArguments arguments;
    RETURN_IF_FAILED(arguments.Prepare(*params, argumentError));
    return type->info->Invoke(static_cast<_classTray*>(this), id, flags, arguments.Get(), result, exception,
                              argumentError);
}

HRESULT classTray::get_WindowName(BSTR* value) noexcept
{
    return PropertyGet(value, [&]() -> const std::wstring& { return WindowName_; });
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
    return PropertyGet(value, [&]() -> const std::wstring& { return ToolTipName_; });
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
    return PropertyGet(value, [&]() -> const std::wstring& { return TrayIcon_; });
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
    return PropertyGet(value, [&]() -> const std::wstring& { return Apartment().gMenuEvent; });
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
        // Icon handles are 32-bit values; a 64-bit host widens them with sign extension.
        AddTrayIcon(hwnd, id, static_cast<HICON>(LongToHandle(static_cast<LONG>(icon))), ToolTipName_);
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
