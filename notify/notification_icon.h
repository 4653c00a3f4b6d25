// One notification-area icon per object, with a hidden window of its own,
// a menu of numbered items, balloon notifications and a bounded queue of
// everything that happened, spoken to the shell in its version-4 protocol.
// The icon owns three parts: its shell record, event delivery and the input
// filter; it creates them, routes its window's messages to them, shows the
// popup, and ends them.
#pragma once

#include "common/frames.h"
#include "common/intrusive_list.h"
#include "common/ref_counted.h"
#include "common/window_owner.h"
#include "notify/event_delivery.h"
#include "notify/icon_menu.h"
#include "notify/input_filter.h"
#include "notify/shell_record.h"

namespace zanthel {

struct NotifyState;

class NotificationIcon final : public RefCounted, private ListLink<NotificationIcon>, private DeliveryWindow {
public:
    // Balloon kinds, as hosts pass them.
    static constexpr LONG kBalloonNone = 0, kBalloonInformation = 1, kBalloonWarning = 2, kBalloonError = 3;
    static constexpr UINT kQueueCapacity = EventDelivery::kQueueCapacity;
    static constexpr UINT kCallbackMessage = ShellRecord::kCallbackMessage;
    static constexpr UINT_PTR kRetryTimer = ShellRecord::kRetryTimer;
    static constexpr UINT kRetryMilliseconds = ShellRecord::kRetryMilliseconds;

    // A new icon, not yet shown, with the built-in icon and an empty tip.
    static HRESULT Create(Ref<NotificationIcon>& created) noexcept;

    // The listener is not owned; null stops the events (the queue still fills).
    void Listen(IconEventListener* listener) noexcept;

    // Up to 127 UTF-16 units; a longer tip is cut without splitting a
    // surrogate pair. A shown icon changes in place.
    HRESULT SetToolTip(const Text& tip) noexcept;
    const Text& ToolTip() const noexcept { return shell_.Tip(); }
    // "" is the built-in icon, anything else an icon file at the small-icon
    // size. A file that cannot be used fails with a description saying why,
    // and the icon stays as it was. A shown icon changes in place.
    HRESULT SetIcon(const Text& path) noexcept;
    const Text& IconPath() const noexcept { return iconPath_; }
    // Whether the host wants the icon shown; a shell that is not ready (at
    // logon, say) gets it when it is.
    HRESULT SetVisible(bool visible) noexcept;
    bool Visible() const noexcept { return shell_.Wanted(); }
    // When set, a left click (or keyboard selection) opens the menu instead
    // of raising Click; a left click's menu waits for the double-click time,
    // so that a double click meets no menu.
    void SetLeftClickMenu(bool opensMenu) noexcept { leftClickMenu_ = opensMenu; }
    bool LeftClickMenu() const noexcept { return leftClickMenu_; }

    // The menu is a tree: items and submenus take identifiers 1, 2, 3, ... of
    // one sequence, in order, never reused in the object's life. parent is
    // 0 (the top menu) or a submenu's identifier. An empty caption, or one
    // holding a NUL, is an error; so is an identifier that names nothing
    // live, or a parent that is a plain item (E_INVALIDARG with a
    // description naming it).
    HRESULT AddMenuItem(const Text& caption, LONG& id) noexcept;
    HRESULT AddMenuItemTo(LONG parent, const Text& caption, LONG& id) noexcept;
    HRESULT AddSubMenu(LONG parent, const Text& caption, LONG& id) noexcept;
    HRESULT AddSeparator() noexcept;
    HRESULT AddSeparatorTo(LONG parent) noexcept;
    HRESULT SetMenuItemCaption(LONG id, const Text& caption) noexcept;
    // A submenu goes with everything in it.
    HRESULT RemoveMenuItem(LONG id) noexcept;
    // Checking an item of a radio group unchecks the group's other items in
    // its submenu. Not for submenus.
    HRESULT SetMenuItemChecked(LONG id, bool checked) noexcept;
    HRESULT SetMenuItemEnabled(LONG id, bool enabled) noexcept;
    // group > 0: the item is in that radio group of its submenu and shows a
    // round mark; 0: a check mark again. Not for submenus.
    HRESULT SetMenuItemRadio(LONG id, LONG group) noexcept;
    // The item shown in bold, which a double click on the icon chooses; 0 is none.
    HRESULT SetDefaultMenuItem(LONG id) noexcept;
    LONG DefaultMenuItem() const noexcept { return menu_.Default(); }
    HRESULT ClearMenu() noexcept;

    // Title up to 63, text up to 255 UTF-16 units, cut as the tip. An empty
    // text removes a shown balloon. The icon must be visible.
    HRESULT ShowBalloon(const Text& title, const Text& text, LONG kind) noexcept;
    // As ShowBalloon, and kind 4 (kBalloonPicture) shows iconPath's picture,
    // which the other kinds must not name; options are kNoSound and
    // kRespectQuietTime.
    static constexpr LONG kBalloonPicture = 4;
    static constexpr LONG kNoSound = 1, kRespectQuietTime = 2;
    HRESULT ShowNotification(const Text& title, const Text& text, LONG kind, const Text& iconPath,
                             LONG options) noexcept;

    // The oldest queued event as text, "" when there is none.
    HRESULT NextEvent(Text& event) noexcept { return delivery_.NextEvent(event); }

    // Removes the icon, destroys the window and the menu; the object then
    // refuses every change. Run by the owner's final release and by the
    // apartment's end.
    void Close() noexcept;

    // The hidden window that receives the shell's callbacks.
    HWND Window() const noexcept { return window_.get(); }

private:
    friend struct NotifyState;
    friend class IntrusiveList<NotificationIcon>;
    ~NotificationIcon() override;

    // How the icon ends; every way goes through End.
    enum class Ending {
        // By its owner or the apartment's end: the window and the menu go now,
        // or when the open popup's loop has let go of them.
        Closed,
        // The thread ends under the loader lock: the system destroys its windows.
        ThreadEnds,
    };
    void End(Ending how) noexcept;
    void Dismantle(bool destroyWindow) noexcept;
    HRESULT NotConnected() const noexcept;
    // The picture at the notification area's size: path's, or the built-in one.
    HRESULT LoadPicture(const Text& path, UniqueIcon& loaded, int& size) const noexcept;
    void Raise(IconEvent event, LONG itemId = 0, const Text& caption = Text()) noexcept;
    void React(const Reaction& reaction, POINT anchor) noexcept;
    void ShowMenu(const MenuRequest& request) noexcept;
    // A double click chooses the default item.
    void ChooseDefault() noexcept;

    // The window's messages, by name.
    void OnShellCallback(UINT callback, POINT anchor) noexcept;
    void OnMenuWaitEnded() noexcept;
    void OnShellRestarted() noexcept;
    void OnScaleMayHaveChanged() noexcept;
    LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    // DeliveryWindow
    bool PostDelivery() noexcept override;
    void PostMenu(const MenuRequest& request) noexcept override;
    bool PopupShowing() const noexcept override { return menu_.Showing(); }

    WindowOwner window_;
    ShellRecord shell_;
    EventDelivery delivery_{*this};
    InputFilter filter_;
    IconMenu menu_;
    Text iconPath_;
    bool leftClickMenu_ = false, closed_ = false;
    // The references the window's nested messages hold.
    EntryHolds entries_;
    // The apartment's list of live icons, while this one is in it.
    NotifyState* state_ = nullptr;
};

}  // namespace zanthel
