// NotifyIcon, the second class a host creates: one notification icon of its
// own, whose members go to the notify layer's NotificationIcon and whose
// events go out through a connection point for each version's events.
#pragma once

#include "component/connection_point.h"
#include "component/dispatch_arguments.h"
#include "component/notify_interface.h"
#include "component/type_info_dispatch.h"
#include "notify/notification_icon.h"

namespace zanthel {

// A host compiled against 1.0 asks for INotifyIcon: the first part of INotifyIcon2.
template <>
struct EarlierVersion<INotifyIcon2> {
    using Type = INotifyIcon;
};

// IDispatch comes from the type library, with the caller's arguments as they
// are: every parameter is [in].
class NotifyIcon final : public TypeInfoDispatch<NotifyIcon, CachedType::NotifyIcon, CallerArguments, INotifyIcon2,
                                                 IConnectionPointContainer, IProvideClassInfo2, ISupportErrorInfo>,
                         private IconEventListener {
public:
    static HRESULT CreateInstance(REFIID riid, void** object) noexcept;

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

    // INotifyIcon2
    HRESULT STDMETHODCALLTYPE AddSubMenu(LONG parent, BSTR caption, LONG* id) noexcept override;
    HRESULT STDMETHODCALLTYPE AddMenuItemTo(LONG parent, BSTR caption, LONG* id) noexcept override;
    HRESULT STDMETHODCALLTYPE AddSeparatorTo(LONG parent) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenuItemCaption(LONG id, BSTR caption) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveMenuItem(LONG id) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMenuItemRadio(LONG id, LONG group) noexcept override;
    HRESULT STDMETHODCALLTYPE get_DefaultMenuItem(LONG* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_DefaultMenuItem(LONG value) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowNotification(BSTR title, BSTR text, LONG kind, BSTR iconPath,
                                               LONG options) noexcept override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) noexcept override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

private:
    explicit NotifyIcon(Ref<NotificationIcon>&& icon) noexcept;
    ~NotifyIcon();
    friend class ComObject;

    void IconEventRaised(IconEvent event, LONG itemId, const Text& caption) noexcept override;
    void HoldForRaise() noexcept override { AddRef(); }
    void ReleaseFromRaise() noexcept override { Release(); }

    // DNotifyIconEvents2's point, the default, and then DNotifyIconEvents'.
    DispatchConnectionPoint points_[2];
    Ref<NotificationIcon> icon_;
};

}  // namespace zanthel
