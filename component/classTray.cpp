#include "classTray.h"

#include "errors.h"
#include "menu_state.h"
#include "modMenu.h"
#include "frmTray.h"
#include "modTray.h"
#include "tray_state.h"
#include "apartment_lifetime.h"
#include "dispatch_arguments.h"
#include "type_info.h"

#include <new>
#include <wrl/client.h>

namespace zanthel {
namespace {

// Every member: the apartment's end is watched before its state is touched.
template <typename Body>
HRESULT Member(Body&& body) noexcept
{
    return ComBarrier([&] {
        RETURN_IF_FAILED(WatchApartment());
        return body();
    });
}

// A property get: the out pointer is null before anything can fail.
HRESULT PropertyGet(BSTR* value, const Text& text) noexcept
{
    if (!value) return E_POINTER;
    *value = nullptr;
    return ComBarrier([&] { return text.CopyTo(value); });
}

// A string parameter: a null BSTR, or a null pointer to one, is the empty string.
HRESULT Argument(const BSTR* parameter, Text& text) noexcept { return text.Assign(parameter ? *parameter : nullptr); }

// The numeric handle of a picture, as the picture's default property gives it.
HRESULT PictureHandle(IPictureDisp* picture, OLE_HANDLE& handle) noexcept
{
    if (!picture) return kObjectNotSet;
    Microsoft::WRL::ComPtr<IPicture> asPicture;
    RETURN_IF_FAILED(picture->QueryInterface(IID_PPV_ARGS(&asPicture)));
    return asPicture->get_Handle(&handle);
}

// Runs body with the apartment's host window, created on first use.
template <typename Body>
HRESULT WithHostWindow(Body&& body) noexcept
{
    Ref<frmTray> window;
    RETURN_IF_FAILED(ObtainHostWindow(window));
    return body(*window.Get());
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
    return type->info.CopyTo(info);
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
    if (!params || (params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs) return DISP_E_BADPARAMCOUNT;
    // A host polls mnuEvent for months: everything here is worked out once.
    const ClassTrayType* type;
    RETURN_IF_FAILED(ClassTrayTypeInfo(type));
    if (!type->members.Answers(id, flags)) return DISP_E_MEMBERNOTFOUND;
    if (type->members.TooManyArguments(id, flags, params->cArgs)) return DISP_E_BADPARAMCOUNT;
    // Reading an object argument runs the caller's code, which may let go of its
    // last reference to this object before the member is called.
    const Ref<classTray> self(this);
    InvokeArguments arguments;
    RETURN_IF_FAILED(arguments.Prepare(*params, argumentError));
    return type->info->Invoke(static_cast<_classTray*>(this), id, flags, arguments.Get(), result, exception,
                              argumentError);
}

HRESULT classTray::get_WindowName(BSTR* value) noexcept { return PropertyGet(value, WindowName_); }

HRESULT classTray::put_WindowName(BSTR* new_WindowName) noexcept
{
    return Member([&] {
        TrayState* tray = TrayApartment();
        if (!tray) return E_OUTOFMEMORY;
        RETURN_IF_FAILED(Argument(new_WindowName, WindowName_));
        // An empty title would match whichever untitled window comes first.
        tray->gWindowHandle = WindowName_.Empty() ? nullptr : GetWindowHandle(WindowName_);
        return S_OK;
    });
}

HRESULT classTray::get_ToolTipName(BSTR* value) noexcept { return PropertyGet(value, ToolTipName_); }

HRESULT classTray::put_ToolTipName(BSTR* new_ToolTipName) noexcept
{
    return ComBarrier([&] { return Argument(new_ToolTipName, ToolTipName_); });
}

HRESULT classTray::get_TrayIcon(BSTR* value) noexcept { return PropertyGet(value, TrayIcon_); }

HRESULT classTray::put_TrayIcon(BSTR* new_TrayIcon) noexcept
{
    return Member([&] {
        RETURN_IF_FAILED(Argument(new_TrayIcon, TrayIcon_));
        return WithHostWindow([&](frmTray& window) { return SetTrayIconPicture(window, TrayIcon_); });
    });
}

HRESULT classTray::get_mnuEvent(BSTR* value) noexcept
{
    // Reading creates no state: an apartment without any reads "".
    const TrayState* tray = ExistingApartmentState<TrayState>();
    const Text none;
    return PropertyGet(value, tray ? tray->gMenuEvent : none);
}

HRESULT classTray::put_mnuEvent(BSTR* new_mnuEvent) noexcept
{
    return Member([&] {
        TrayState* tray = TrayApartment();
        if (!tray) return E_OUTOFMEMORY;
        return Argument(new_mnuEvent, tray->gMenuEvent);
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
    return Member([&] {
        return WithHostWindow([&](frmTray& window) {
            RETURN_IF_FAILED(HookTrayWindow(window.Handle()));
            const HWND hwnd = window.Handle();
            OLE_HANDLE id = 0;
            RETURN_IF_FAILED(PictureHandle(window.Icon(), id));
            OLE_HANDLE icon = 0;
            RETURN_IF_FAILED(PictureHandle(window.Icon(), icon));
            // Icon handles are 32-bit values; a 64-bit host widens them with sign extension.
            return AddTrayIcon(hwnd, id, static_cast<HICON>(LongToHandle(static_cast<LONG>(icon))), window.Icon(),
                               ToolTipName_);
        });
    });
}

HRESULT classTray::UnLoadTray() noexcept
{
    return Member([] { return RemoveTrayIcon(); });
}

HRESULT classTray::HideWindow(BSTR* WindowName) noexcept
{
    return Member([&] {
        Text title;
        RETURN_IF_FAILED(Argument(WindowName, title));
        return HideTargetWindow(title);
    });
}

HRESULT classTray::ShowWindow(BSTR* WindowName) noexcept
{
    return Member([&] {
        Text title;
        RETURN_IF_FAILED(Argument(WindowName, title));
        return ShowTargetWindow(title);
    });
}

HRESULT classTray::AppendMenu(BSTR* Caption) noexcept
{
    return Member([&] {
        Text caption;
        RETURN_IF_FAILED(Argument(Caption, caption));
        return WithHostWindow([&](frmTray& window) { return AppendTrayMenu(window, caption); });
    });
}

HRESULT classTray::DestroyMenu() noexcept
{
    return Member([] { return WithHostWindow([](frmTray& window) { return DestroyMenuBar(window); }); });
}

HRESULT classTray::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return riid == IID__classTray || riid == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace zanthel
