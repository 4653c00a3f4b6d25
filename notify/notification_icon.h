// One notification-area icon per object, with a hidden window of its own,
// a menu of numbered items, balloon notifications and a bounded queue of
// everything that happened, spoken to the shell in its version-4 protocol.
#pragma once

#include "notify/event_ring.h"
#include "common/handles.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

struct NotifyState;

// What the user did; the values are the events' dispatch identifiers.
enum class IconEvent : LONG { Click = 1, DoubleClick = 2, MenuItemClick = 3, BalloonClick = 4, BalloonClosed = 5 };

// Told of every event on the icon's thread, after the event has been queued,
// and never from inside a modal loop (the menu's).
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
    HRESULT SetVisible(bool visible) noexcept;
    bool Visible() const noexcept;
    // When set, a left click (or keyboard selection) opens the menu instead of raising Click.
    void SetLeftClickMenu(bool opensMenu) noexcept;
    bool LeftClickMenu() const noexcept;

    // Identifiers 1, 2, 3, ... in order, never reused in the object's life.
    // An empty caption is an error.
    HRESULT AddMenuItem(const Text& caption, LONG& id) noexcept;
    HRESULT AddSeparator() noexcept;
    // An identifier that names no item is E_INVALIDARG with a description.
    HRESULT SetMenuItemChecked(LONG id, bool checked) noexcept;
    HRESULT SetMenuItemEnabled(LONG id, bool enabled) noexcept;
    HRESULT ClearMenu() noexcept;

    // Title up to 63, text up to 255 UTF-16 units, cut as the tip. An empty
    // text removes a shown balloon. The icon must be visible.
    HRESULT ShowBalloon(const Text& title, const Text& text, LONG kind) noexcept;

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

    HRESULT NotConnected() const noexcept;
    void Fill(NOTIFYICONDATAW& data, UINT flags) const noexcept;
    bool Tell(DWORD message, UINT flags) const noexcept;
    // NIM_ADD, then the version-4 protocol.
    bool Add() const noexcept;
    void Hide() noexcept;
    HRESULT Append(UINT flags, UINT_PTR id, const wchar_t* caption) noexcept;
    HRESULT FindItem(LONG id) const noexcept;
    void OnShellCallback(UINT event, int x, int y) noexcept;
    void ShowMenu(int x, int y) noexcept;
    void Raise(IconEvent event, LONG itemId, const Text& caption) noexcept;
    void PostDelivery() noexcept;
    void Deliver() noexcept;
    // Ends the icon; destroyWindow is false when the window is already going.
    void Shut(bool destroyWindow) noexcept;
    void ReleaseWindow(bool destroy) noexcept;
    // The window is no longer this object's: its messages stop finding it,
    // and the caller decides whether it goes.
    UniqueWindow LetGoOfWindow() noexcept;
    // The thread ends under the loader lock: only NIM_DELETE, and the window let go.
    void Abandon() noexcept;
    void Unlink() noexcept;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    UniqueWindow hwnd_;
    UniqueIcon icon_;
    UniqueMenu menu_;
    // A menu cleared while its popup is open, kept until the popup's loop ends.
    UniqueMenu retired_;
    Text tip_, iconPath_;
    IconEventListener* listener_ = nullptr;
    EventRing queue_{kQueueCapacity};
    // Events the listener has yet to hear, held while the menu is open.
    EventRing backlog_{kQueueCapacity};
    LONG nextItemId_ = 1;
    // When the last double click came, to drop the select some shells send after it.
    DWORD doubleClickTick_ = 0;
    bool visible_ = false, leftClickMenu_ = false, closed_ = false;
    bool tracking_ = false, deliveryPosted_ = false, swallowSelect_ = false;
    // The apartment's list of live icons, while this one is in it.
    NotifyState* state_ = nullptr;
    NotificationIcon *previous_ = nullptr, *next_ = nullptr;
};

}  // namespace zanthel
