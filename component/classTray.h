// classTray, the one class a host creates: three text settings of its own,
// every other request handed to the apartment's tray and menu routines.
#pragma once

#include "common/text.h"
#include "component/dispatch_arguments.h"
#include "component/interface.h"
#include "component/type_info_dispatch.h"

namespace zanthel {

// IDispatch comes from the type library; a call's arguments are first made
// what the members' [in, out] strings expect (InvokeArguments).
class classTray final
    : public TypeInfoDispatch<classTray, CachedType::ClassTray, InvokeArguments, _classTray, ISupportErrorInfo> {
public:
    static HRESULT CreateInstance(REFIID riid, void** object) noexcept { return Create(riid, object); }

    // _classTray
    HRESULT STDMETHODCALLTYPE get_WindowName(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_WindowName(BSTR* new_WindowName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ToolTipName(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ToolTipName(BSTR* new_ToolTipName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_TrayIcon(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_TrayIcon(BSTR* new_TrayIcon) noexcept override;
    HRESULT STDMETHODCALLTYPE get_mnuEvent(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_mnuEvent(BSTR* new_mnuEvent) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateTray(BSTR* Handle) noexcept override;
    HRESULT STDMETHODCALLTYPE LoadTray() noexcept override;
    HRESULT STDMETHODCALLTYPE UnLoadTray() noexcept override;
    HRESULT STDMETHODCALLTYPE HideWindow(BSTR* WindowName) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowWindow(BSTR* WindowName) noexcept override;
    HRESULT STDMETHODCALLTYPE AppendMenu(BSTR* Caption) noexcept override;
    HRESULT STDMETHODCALLTYPE DestroyMenu() noexcept override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

private:
    classTray() = default;
    ~classTray() = default;
    friend class ComObject;

    Text WindowName_;
    Text TrayIcon_;
    Text ToolTipName_;
};

}  // namespace zanthel
