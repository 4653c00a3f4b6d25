#include "component/NotifyIcon.h"

#include "common/errors.h"
#include "component/apartment_lifetime.h"

#include <iterator>
#include <utility>

namespace zanthel {
namespace {

HRESULT GetText(BSTR* value, const Text& text) noexcept
{
    return ComBarrier([&] {
        if (!value) return E_POINTER;
        *value = nullptr;
        return text.CopyTo(value);
    });
}

HRESULT GetFlag(VARIANT_BOOL* value, bool flag) noexcept
{
    return ComBarrier([&] {
        if (!value) return E_POINTER;
        *value = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

// A string parameter as the layer takes it; a null BSTR is the empty text.
template <typename Body>
HRESULT WithText(BSTR value, Body&& body) noexcept
{
    return ComBarrier([&] {
        Text text;
        RETURN_IF_FAILED(text.Assign(value));
        return body(text);
    });
}

// A member that adds a captioned entry to the menu and hands back its identifier.
template <typename Add>
HRESULT AddCaptioned(BSTR caption, LONG* id, Add&& add) noexcept
{
    return WithText(caption, [&](const Text& text) {
        if (!id) return E_POINTER;
        *id = 0;
        return add(text, *id);
    });
}

// The points that hear an event: DNotifyIconEvents has the events of 1.0 only.
constexpr UINT PointsFor(IconEvent event) noexcept { return event <= IconEvent::BalloonClosed ? 2 : 1; }

}  // namespace

NotifyIcon::NotifyIcon(Ref<NotificationIcon>&& icon) noexcept
    : points_{{*this, DIID_DNotifyIconEvents2}, {*this, DIID_DNotifyIconEvents}}, icon_(std::move(icon))
{
    icon_->Listen(this);
}

NotifyIcon::~NotifyIcon()
{
    icon_->Listen(nullptr);
    icon_->Close();
}

HRESULT NotifyIcon::CreateInstance(REFIID riid, void** object) noexcept
{
    if (!object) return E_POINTER;
    *object = nullptr;
    return ComBarrier([&] {
        // The icon goes at the apartment's last CoUninitialize, even if the
        // host never releases the object.
        RETURN_IF_FAILED(WatchApartment());
        Ref<NotificationIcon> icon;
        RETURN_IF_FAILED(NotificationIcon::Create(icon));
        return Create(riid, object, std::move(icon));
    });
}

HRESULT NotifyIcon::get_ToolTip(BSTR* value) noexcept { return GetText(value, icon_->ToolTip()); }

HRESULT NotifyIcon::put_ToolTip(BSTR value) noexcept
{
    return WithText(value, [&](const Text& tip) { return icon_->SetToolTip(tip); });
}

HRESULT NotifyIcon::get_Icon(BSTR* value) noexcept { return GetText(value, icon_->IconPath()); }

HRESULT NotifyIcon::put_Icon(BSTR value) noexcept
{
    return WithText(value, [&](const Text& path) { return icon_->SetIcon(path); });
}

HRESULT NotifyIcon::get_Visible(VARIANT_BOOL* value) noexcept { return GetFlag(value, icon_->Visible()); }

HRESULT NotifyIcon::put_Visible(VARIANT_BOOL value) noexcept
{
    return ComBarrier([&] { return icon_->SetVisible(value != VARIANT_FALSE); });
}

HRESULT NotifyIcon::AddMenuItem(BSTR caption, LONG* id) noexcept
{
    return AddCaptioned(caption, id, [&](const Text& text, LONG& added) { return icon_->AddMenuItem(text, added); });
}

HRESULT NotifyIcon::AddSeparator() noexcept
{
    return ComBarrier([&] { return icon_->AddSeparator(); });
}

HRESULT NotifyIcon::SetMenuItemChecked(LONG id, VARIANT_BOOL checked) noexcept
{
    return ComBarrier([&] { return icon_->SetMenuItemChecked(id, checked != VARIANT_FALSE); });
}

HRESULT NotifyIcon::SetMenuItemEnabled(LONG id, VARIANT_BOOL enabled) noexcept
{
    return ComBarrier([&] { return icon_->SetMenuItemEnabled(id, enabled != VARIANT_FALSE); });
}

HRESULT NotifyIcon::ClearMenu() noexcept
{
    return ComBarrier([&] { return icon_->ClearMenu(); });
}

HRESULT NotifyIcon::ShowBalloon(BSTR title, BSTR text, LONG kind) noexcept
{
    return ComBarrier([&] {
        Text heading, body;
        RETURN_IF_FAILED(heading.Assign(title));
        RETURN_IF_FAILED(body.Assign(text));
        return icon_->ShowBalloon(heading, body, kind);
    });
}

HRESULT NotifyIcon::get_NextEvent(BSTR* value) noexcept
{
    return ComBarrier([&] {
        if (!value) return E_POINTER;
        *value = nullptr;
        Text event;
        RETURN_IF_FAILED(icon_->NextEvent(event));
        return event.CopyTo(value);
    });
}

HRESULT NotifyIcon::get_LeftClickMenu(VARIANT_BOOL* value) noexcept { return GetFlag(value, icon_->LeftClickMenu()); }

HRESULT NotifyIcon::put_LeftClickMenu(VARIANT_BOOL value) noexcept
{
    return ComBarrier([&] {
        icon_->SetLeftClickMenu(value != VARIANT_FALSE);
        return S_OK;
    });
}

HRESULT NotifyIcon::AddSubMenu(LONG parent, BSTR caption, LONG* id) noexcept
{
    return AddCaptioned(caption, id,
                        [&](const Text& text, LONG& added) { return icon_->AddSubMenu(parent, text, added); });
}

HRESULT NotifyIcon::AddMenuItemTo(LONG parent, BSTR caption, LONG* id) noexcept
{
    return AddCaptioned(caption, id,
                        [&](const Text& text, LONG& added) { return icon_->AddMenuItemTo(parent, text, added); });
}

HRESULT NotifyIcon::AddSeparatorTo(LONG parent) noexcept
{
    return ComBarrier([&] { return icon_->AddSeparatorTo(parent); });
}

HRESULT NotifyIcon::SetMenuItemCaption(LONG id, BSTR caption) noexcept
{
    return WithText(caption, [&](const Text& text) { return icon_->SetMenuItemCaption(id, text); });
}

HRESULT NotifyIcon::RemoveMenuItem(LONG id) noexcept
{
    return ComBarrier([&] { return icon_->RemoveMenuItem(id); });
}

HRESULT NotifyIcon::SetMenuItemRadio(LONG id, LONG group) noexcept
{
    return ComBarrier([&] { return icon_->SetMenuItemRadio(id, group); });
}

HRESULT NotifyIcon::get_DefaultMenuItem(LONG* value) noexcept
{
    return ComBarrier([&] {
        if (!value) return E_POINTER;
        *value = icon_->DefaultMenuItem();
        return S_OK;
    });
}

HRESULT NotifyIcon::put_DefaultMenuItem(LONG value) noexcept
{
    return ComBarrier([&] { return icon_->SetDefaultMenuItem(value); });
}

HRESULT NotifyIcon::ShowNotification(BSTR title, BSTR text, LONG kind, BSTR iconPath, LONG options) noexcept
{
    return ComBarrier([&] {
        Text heading, body, path;
        RETURN_IF_FAILED(heading.Assign(title));
        RETURN_IF_FAILED(body.Assign(text));
        // The header's default for iconPath is a plain L"", not an automation
        // string, whose length prefix would be whatever lies before it.
        if (iconPath && iconPath[0] != L'\0') RETURN_IF_FAILED(path.Assign(iconPath));
        return icon_->ShowNotification(heading, body, kind, path, options);
    });
}

HRESULT NotifyIcon::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept
{
    return DispatchConnectionPoint::EnumPoints(points_, std::size(points_), points);
}

HRESULT NotifyIcon::FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept
{
    return DispatchConnectionPoint::FindPoint(points_, std::size(points_), riid, point);
}

HRESULT NotifyIcon::GetClassInfo(ITypeInfo** info) noexcept
{
    return CopyTypeInfo(CachedType::NotifyIconClass, 0, info);
}

HRESULT NotifyIcon::GetGUID(DWORD kind, GUID* guid) noexcept
{
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID_DNotifyIconEvents2;
    return S_OK;
}

HRESULT NotifyIcon::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return riid == IID_INotifyIcon2 || riid == IID_INotifyIcon ? S_OK : S_FALSE;
}

void NotifyIcon::IconEventRaised(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    VARIANT arguments[2];
    UINT count = 0;
    if (event == IconEvent::MenuItemClick) {
        // MenuItemClick(id, caption), the last parameter first.
        V_VT(&arguments[0]) = VT_BSTR;
        V_BSTR(&arguments[0]) = caption.Get();
        V_VT(&arguments[1]) = VT_I4;
        V_I4(&arguments[1]) = itemId;
        count = 2;
    }
    DispatchConnectionPoint::Raise(points_, PointsFor(event), static_cast<DISPID>(event), arguments, count);
}

}  // namespace zanthel
