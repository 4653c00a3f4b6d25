// One notification-area icon per object, with a hidden window of its own,
// a menu of numbered items, balloon notifications and a bounded queue of
// everything that happened, spoken to the shell in its version-4 protocol.
#pragma once

#include "notify/event_ring.h"
#include "notify/icon_menu.h"
#include "common/exit_cleanup.h"
#include "common/handles.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

struct NotifyState;

// What the user did; the values are the events' dispatch identifiers.
enum class IconEvent : LONG {
    Click = 1,
    DoubleClick = 2,
    MenuItemClick = 3,
    BalloonClick = 4,
    BalloonClosed = 5,
    // Before the popup opens; never queued, as a poller cannot act before the menu shows.
    MenuOpening = 6,
    RightClick = 7,
    MiddleClick = 8,
    BalloonShown = 9,
};

// Told of every event on the icon's thread, after the event has been queued,
// in the order the user caused them: never from inside a modal loop (the
// menu's), another event's raise, or a message another thread sent.
class IconEventListener {
public:
    // itemId and caption are those of the chosen item for MenuItemClick,
    // 0 and empty otherwise.
    virtual void IconEventRaised(IconEvent event, LONG itemId, const Text& caption) noexcept = 0;

protected:
    ~IconEventListener() = default;
};

class NotificationIcon final : public RefCounted {
public:
    // Balloon kinds, as hosts pass them.
    static constexpr LONG kBalloonNone = 0, kBalloonInformation = 1, kBalloonWarning = 2, kBalloonError = 3;
    // Entries the queue keeps; the oldest goes when a new one finds it full.
    static constexpr UINT kQueueCapacity = 256;
    // The shell's callback message, sent to Window().
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    // While the shell has not taken a wanted icon, the window offers it again
    // on this timer.
    static constexpr UINT_PTR kRetryTimer = 1;
    static constexpr UINT kRetryMilliseconds = 3000;

    // A new icon, not yet shown, with the built-in icon and an empty tip.
    static HRESULT Create(Ref<NotificationIcon>& created) noexcept;

    // The listener is not owned; null stops the events (the queue still fills).
    void Listen(IconEventListener* listener) noexcept;

    // Up to 127 UTF-16 units; a longer tip is cut without splitting a
    // surrogate pair. A shown icon changes in place.
    HRESULT SetToolTip(const Text& tip) noexcept;
    const Text& ToolTip() const noexcept;
    // "" is the built-in icon, anything else an .ico file at the small-icon
    // size. A file that cannot be used fails with a description naming it,
    // and the icon stays as it was. A shown icon changes in place.
    HRESULT SetIcon(const Text& path) noexcept;
    const Text& IconPath() const noexcept;
    // Whether the host wants the icon shown; a shell that is not ready (at
    // logon, say) gets it when it is.
    HRESULT SetVisible(bool visible) noexcept;
    bool Visible() const noexcept;
    // When set, a left click (or keyboard selection) opens the menu instead of raising Click.
    void SetLeftClickMenu(bool opensMenu) noexcept;
    bool LeftClickMenu() const noexcept;

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
    LONG DefaultMenuItem() const noexcept;
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
    HRESULT NextEvent(Text& event) noexcept;

    // Removes the icon, destroys the window and the menu; the object then
    // refuses every change. Run by the owner's final release and by the
    // apartment's end.
    void Close() noexcept;

    // The hidden window that receives the shell's callbacks.
    HWND Window() const noexcept;

private:
    friend struct NotifyState;
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
    void Fill(NOTIFYICONDATAW& data, UINT flags) const noexcept;
    bool Tell(DWORD message, UINT flags) const noexcept;
    // Offers a wanted icon to the shell until it has it in version 4.
    void OfferToShell() noexcept;
    void TakeFromShell() noexcept;
    void ShellRestarted() noexcept;
    // The picture at the notification area's size: path's, or the built-in one.
    HRESULT LoadPicture(const Text& path, UniqueIcon& loaded, int& size) const noexcept;
    void Scaled() noexcept;
    // Shows loaded, of width size, in place of the current picture.
    void UsePicture(UniqueIcon loaded, int size) noexcept;
    void OnShellCallback(UINT event, POINT anchor) noexcept;
    void Select(POINT anchor) noexcept;
    // rightClick: by the right button or the menu key, which raise
    // RightClick when the menu is empty.
    void ShowMenu(POINT anchor, bool rightClick) noexcept;
    // A double click chooses the default item.
    void ChooseDefault() noexcept;
    void Raise(IconEvent event, LONG itemId, const Text& caption) noexcept;
    void CallListener(IconEvent event, LONG itemId, const Text& caption) noexcept;
    void PostDelivery() noexcept;
    // A popup asked for while it could not open, as kShowMenuMessage's parameters.
    void PostPendingMenu() noexcept;
    void Deliver() noexcept;
    // The window is no longer this object's: its messages stop finding it,
    // and the caller decides whether it goes.
    UniqueWindow LetGoOfWindow() noexcept;
    void Unlink() noexcept;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    UniqueWindow hwnd_;
    UniqueIcon icon_;
    // The width icon_ was loaded at, to reload when the scale changes.
    int iconSize_ = 0;
    IconMenu menu_;
    // A balloon's own picture, kept while the shell may draw it.
    UniqueIcon balloonPicture_;
    Text tip_, iconPath_;
    IconEventListener* listener_ = nullptr;
    EventRing queue_{kQueueCapacity, kQueueCapacity};
    // Events the listener has yet to hear, in the order they came. It grows
    // rather than lose one while a slow listener is being called.
    EventRing backlog_{16, 65536};
    // The callback before the current one, and when the last key select
    // came: Enter on the icon selects twice.
    UINT lastCallback_ = 0;
    DWORD keySelectTick_ = 0;
    // When the last double click came, to drop the select some shells send after it.
    DWORD doubleClickTick_ = 0;
    bool swallowSelect_ = false;
    // The shown balloon's close was raised; later close notices are for it too.
    bool balloonCloseRaised_ = false;
    // What the host asked for, and what the shell has: they differ while the
    // shell is starting or busy.
    bool wanted_ = false, inShell_ = false, versioned_ = false, retrying_ = false;
    bool leftClickMenu_ = false, closed_ = false;
    bool tracking_ = false, raising_ = false, deliveryPosted_ = false;
    bool menuPending_ = false, pendingRightClick_ = false;
    LPARAM pendingMenu_ = 0;
    ShownIconRecord exitRecord_;
    // The apartment's list of live icons, while this one is in it.
    NotifyState* state_ = nullptr;
    NotificationIcon *previous_ = nullptr, *next_ = nullptr;
};

}  // namespace zanthel
