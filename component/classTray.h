// classTray, the one class a host creates: three text settings of its own,
// every other request handed to the apartment's tray and menu routines.
#pragma once

#include "com_object.h"
#include "text.h"
#include "interface.h"

namespace zanthel {

class classTray final
    : public ComObject<classTray, Answers<IID_IDispatch, _classTray>, Answers<IID__classTray, _classTray>,
                       Answers<IID_ISupportErrorInfo, ISupportErrorInfo>>,
      public _classTray,
      public ISupportErrorInfo {
public:
    static HRESULT CreateInstance(REFIID riid, void** object) noexcept;

    ZANTHEL_IUNKNOWN

    // IDispatch, answered from the type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) noexcept override;

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
    ~classTray() override = default;
    friend class ComObject;

    Text WindowName_;
    Text TrayIcon_;
    Text ToolTipName_;
};

}  // namespace zanthel
