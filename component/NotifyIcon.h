// NotifyIcon, the second class a host creates: one notification icon of its
// own, whose members go to the notify layer's NotificationIcon and whose
// events go out through a connection point.
#pragma once

#include "com_object.h"
#include "connection_point.h"
#include "notification_icon.h"
#include "notify_interface.h"

namespace zanthel {

class NotifyIcon final
    : public ComObject<NotifyIcon, Answers<IID_IDispatch, INotifyIcon>, Answers<IID_INotifyIcon, INotifyIcon>,
                       Answers<IID_IConnectionPointContainer, IConnectionPointContainer>,
                       Answers<IID_IProvideClassInfo, IProvideClassInfo2>,
                       Answers<IID_IProvideClassInfo2, IProvideClassInfo2>,
                       Answers<IID_ISupportErrorInfo, ISupportErrorInfo>>,
      public INotifyIcon,
      public SingleConnectionPointContainer,
      public IProvideClassInfo2,
      public ISupportErrorInfo,
      private IconEventListener {
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

    // INotifyIcon
    HRESULT STDMETHODCALLTYPE get_ToolTip(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ToolTip(BSTR value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Icon(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Icon(BSTR value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) noexcept override;
    HRESULT STDMETHODCALLTYPE AddMenuItem(BSTR caption, LONG* id) noexcept override;
    HRESULT STDMETHODCALLTYPE AddSeparator() noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenuItemChecked(LONG id, VARIANT_BOOL checked) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenuItemEnabled(LONG id, VARIANT_BOOL enabled) noexcept override;
    HRESULT STDMETHODCALLTYPE ClearMenu() noexcept override;
    HRESULT STDMETHODCALLTYPE ShowBalloon(BSTR title, BSTR text, LONG kind) noexcept override;
    HRESULT STDMETHODCALLTYPE get_NextEvent(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_LeftClickMenu(VARIANT_BOOL* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_LeftClickMenu(VARIANT_BOOL value) noexcept override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) noexcept override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

private:
    explicit NotifyIcon(Ref<NotificationIcon>&& icon) noexcept;
    ~NotifyIcon() override;
    friend class ComObject;

    void IconEventRaised(IconEvent event, LONG itemId, const Text& caption) noexcept override;

    Ref<NotificationIcon> icon_;
};

}  // namespace zanthel
