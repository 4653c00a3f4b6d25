// Hands the icon's events to the host: each into the queue that NextEvent
// drains, and to the listener in the order they came, never from inside the
// popup's loop, another event's handler or a message another thread sent.
// Plain logic: the window it needs is behind DeliveryWindow.
#pragma once

#include "notify/event_ring.h"
#include "notify/icon_event.h"
#include "notify/input_filter.h"

namespace zanthel {

// A popup that was asked for, kept while it cannot open.
struct MenuRequest {
    MenuSource source = MenuSource::None;
    bool rightClick = false;
    // The shell's anchor, in physical pixels.
    POINT anchor{};
};

// What delivery needs of the icon's window.
class DeliveryWindow {
public:
    // Asks for Deliver() from the window's own posted message.
    virtual bool PostDelivery() noexcept = 0;
    // Asks for the popup from the window's own posted message.
    virtual void PostMenu(const MenuRequest& request) noexcept = 0;
    // The popup's modal loop runs: nothing reaches the listener from inside it.
    virtual bool PopupShowing() const noexcept = 0;

protected:
    ~DeliveryWindow() = default;
};

class EventDelivery {
public:
    // Entries the queue keeps; the oldest goes when a new one finds it full.
    static constexpr UINT kQueueCapacity = 256;

    explicit EventDelivery(DeliveryWindow& window) noexcept : window_(window) {}
    EventDelivery(const EventDelivery&) = delete;
    EventDelivery& operator=(const EventDelivery&) = delete;

    // Not owned; null stops the listener's events (the queue still fills).
    void Listen(IconEventListener* listener) noexcept { listener_ = listener; }
    bool Listening() const noexcept { return listener_ != nullptr; }

    // Queues the event, then tells the listener now if nothing stands in the
    // way, or else from a posted delivery. inSentMessage: the caller runs in
    // a message another thread sent, where COM refuses calls to a listener in
    // another apartment.
    void Raise(IconEvent event, LONG itemId, const Text& caption, bool inSentMessage) noexcept;
    // Tells the listener alone, now (MenuOpening): what waits is heard first.
    void Announce(IconEvent event) noexcept;
    // The oldest queued event as text, "" when there is none.
    HRESULT NextEvent(Text& event) noexcept;
    // The posted delivery: every waiting event, in order, while nothing stands in the way.
    void Deliver() noexcept;
    // Whether a popup may open now: not inside a handler (whose own message
    // loop would bring a posted request straight back) or a sent message.
    // Otherwise the request is kept and posted once it can.
    bool MenuMayOpen(const MenuRequest& request, bool inSentMessage) noexcept;
    // The popup's loop has ended: what came in meanwhile goes out.
    void PopupClosed() noexcept { Post(); }
    // Every entry into the icon's window tells where it runs: a raise whose
    // frame is not beneath it was skipped by a host that caught a handler's
    // exception around its message loop, and is over.
    void Entered(const void* frame) noexcept;
    // Nothing more reaches the listener.
    void Stop() noexcept;

private:
    void CallListener(IconEvent event, LONG itemId, const Text& caption) noexcept;
    void RaiseEnded() noexcept;
    void Post() noexcept;

    DeliveryWindow& window_;
    IconEventListener* listener_ = nullptr;
    EventRing queue_{kQueueCapacity, kQueueCapacity};
    // Events the listener has yet to hear. It grows rather than lose one
    // while a slow listener is being called.
    EventRing backlog_{16, 65536};
    // While a raise runs: a local of its frame, and the listener it holds.
    const void* raiseFrame_ = nullptr;
    IconEventListener* raised_ = nullptr;
    bool posted_ = false;
    MenuRequest pendingMenu_;
};

}  // namespace zanthel
