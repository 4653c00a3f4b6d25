#include "component/classTray.h"

#include "common/errors.h"
#include "component/apartment_lifetime.h"
#include "menu/modMenu.h"
#include "tray/frmTray.h"
#include "tray/target_window.h"
#include "tray/tray_icon.h"
#include "tray/tray_state.h"

#include <wrl/client.h>

namespace zanthel {
namespace {

// A member that uses the apartment's state: its end is watched first.
template <typename Body>
HRESULT InWatchedApartment(Body&& body) noexcept
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
HRESULT CopyStringParameter(const BSTR* parameter, Text& text) noexcept
{
    return text.Assign(parameter ? *parameter : nullptr);
}

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

HRESULT classTray::get_WindowName(BSTR* value) noexcept { return PropertyGet(value, WindowName_); }

HRESULT classTray::put_WindowName(BSTR* new_WindowName) noexcept
{
    return InWatchedApartment([&] {
        TrayState* tray = TrayApartment();
        if (!tray) return E_OUTOFMEMORY;
        RETURN_IF_FAILED(CopyStringParameter(new_WindowName, WindowName_));
        // An empty title would match whichever untitled window comes first.
        tray->gWindowHandle = WindowName_.Empty() ? nullptr : GetWindowHandle(WindowName_);
        return S_OK;
    });
}

HRESULT classTray::get_ToolTipName(BSTR* value) noexcept { return PropertyGet(value, ToolTipName_); }

HRESULT classTray::put_ToolTipName(BSTR* new_ToolTipName) noexcept
{
    return ComBarrier([&] { return CopyStringParameter(new_ToolTipName, ToolTipName_); });
}

HRESULT classTray::get_TrayIcon(BSTR* value) noexcept { return PropertyGet(value, TrayIcon_); }

HRESULT classTray::put_TrayIcon(BSTR* new_TrayIcon) noexcept
{
    return InWatchedApartment([&] {
        RETURN_IF_FAILED(CopyStringParameter(new_TrayIcon, TrayIcon_));
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
    return InWatchedApartment([&] {
        TrayState* tray = TrayApartment();
        if (!tray) return E_OUTOFMEMORY;
        return CopyStringParameter(new_mnuEvent, tray->gMenuEvent);
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
    return InWatchedApartment([&] {
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
    return InWatchedApartment([] { return RemoveTrayIcon(); });
}

HRESULT classTray::HideWindow(BSTR* WindowName) noexcept
{
    return InWatchedApartment([&] {
        Text title;
        RETURN_IF_FAILED(CopyStringParameter(WindowName, title));
        return HideTargetWindow(title);
    });
}

HRESULT classTray::ShowWindow(BSTR* WindowName) noexcept
{
    return InWatchedApartment([&] {
        Text title;
        RETURN_IF_FAILED(CopyStringParameter(WindowName, title));
        return ShowTargetWindow(title);
    });
}

HRESULT classTray::AppendMenu(BSTR* Caption) noexcept
{
    return InWatchedApartment([&] {
        Text caption;
        RETURN_IF_FAILED(CopyStringParameter(Caption, caption));
        return WithHostWindow([&](frmTray& window) { return AppendTrayMenu(window, caption); });
    });
}

HRESULT classTray::DestroyMenu() noexcept
{
    return InWatchedApartment([] { return WithHostWindow([](frmTray& window) { return DestroyMenuBar(window); }); });
}

HRESULT classTray::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return riid == IID__classTray || riid == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace zanthel
