#include "notify/event_delivery.h"

#include "common/errors.h"
#include "common/frames.h"

#include <utility>

namespace zanthel {

const wchar_t* EventName(IconEvent event) noexcept
{
    static constexpr const wchar_t* kNames[] = {L"",
                                                L"Click",
                                                L"DoubleClick",
                                                L"MenuItemClick",
                                                L"BalloonClick",
                                                L"BalloonClosed",
                                                L"MenuOpening",
                                                L"RightClick",
                                                L"MiddleClick",
                                                L"BalloonShown"};
    const auto index = static_cast<UINT>(event);
    return index < ARRAYSIZE(kNames) ? kNames[index] : L"";
}

void EventDelivery::Raise(IconEvent event, LONG itemId, const Text& caption, bool inSentMessage) noexcept
{
    // Without memory the queue misses this one; the listener still hears it.
    queue_.Push(event, itemId, caption);
    if (!listener_) return;
    // Straight to the listener only when nothing stands in the way: not in
    // the popup's loop, not inside another event's handler (one that pumps
    // messages would nest raises without end), not ahead of events that
    // wait, and not in a sent message. A chosen item waits for the popup's
    // end to be over.
    if (raiseFrame_ || inSentMessage || !backlog_.Empty() || event == IconEvent::MenuItemClick ||
        window_.PopupShowing()) {
        if (SUCCEEDED(backlog_.Push(event, itemId, caption))) Post();
        return;
    }
    CallListener(event, itemId, caption);
}

void EventDelivery::Announce(IconEvent event) noexcept
{
    Deliver();
    if (listener_ && !raiseFrame_) CallListener(event, 0, Text());
}

void EventDelivery::CallListener(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    IconEventListener* listener = listener_;
    listener->HoldForRaise();
    const int frame = 0;
    raiseFrame_ = &frame;
    raised_ = listener;
    listener->IconEventRaised(event, itemId, caption);
    // A host that skipped this frame has ended the raise already.
    if (raiseFrame_ != &frame) return;
    raiseFrame_ = nullptr;
    raised_ = nullptr;
    listener->ReleaseFromRaise();
    RaiseEnded();
}

void EventDelivery::RaiseEnded() noexcept
{
    if (pendingMenu_.source != MenuSource::None) {
        window_.PostMenu(pendingMenu_);
        pendingMenu_ = MenuRequest();
    }
    // What came in while the handler ran.
    Post();
}

void EventDelivery::Entered(const void* frame) noexcept
{
    if (!raiseFrame_ || !FrameIsGone(raiseFrame_, frame)) return;
    // The skipped frame's hold, which may be the listener's last reference.
    IconEventListener* held = raised_;
    raiseFrame_ = nullptr;
    raised_ = nullptr;
    RaiseEnded();
    held->ReleaseFromRaise();
}

void EventDelivery::Post() noexcept
{
    if (posted_ || raiseFrame_ || backlog_.Empty() || window_.PopupShowing()) return;
    posted_ = window_.PostDelivery();
}

void EventDelivery::Deliver() noexcept
{
    posted_ = false;
    // The popup's end, or the raise under way, posts again.
    while (listener_ && !backlog_.Empty() && !raiseFrame_ && !window_.PopupShowing()) {
        IconEventRecord& oldest = backlog_.Front();
        const IconEvent event = oldest.event;
        const LONG itemId = oldest.itemId;
        const Text caption(std::move(oldest.caption));
        backlog_.DropFront();
        CallListener(event, itemId, caption);
    }
}

bool EventDelivery::MenuMayOpen(const MenuRequest& request, bool inSentMessage) noexcept
{
    if (!raiseFrame_ && !inSentMessage) return true;
    // A running handler's own message loop would bring a posted request
    // straight back: it is posted when the handler returns.
    pendingMenu_ = request;
    if (!raiseFrame_) RaiseEnded();
    return false;
}

HRESULT EventDelivery::NextEvent(Text& event) noexcept
{
    if (queue_.Empty()) {
        event = Text();
        return S_OK;
    }
    const IconEventRecord& oldest = queue_.Front();
    Text text;
    RETURN_IF_FAILED(text.Assign(EventName(oldest.event)));
    if (oldest.event == IconEvent::MenuItemClick) {
        RETURN_IF_FAILED(text.Append(L","));
        RETURN_IF_FAILED(text.AppendNumber(oldest.itemId));
        RETURN_IF_FAILED(text.Append(L","));
        RETURN_IF_FAILED(text.Append(oldest.caption));
    }
    queue_.DropFront();
    event = std::move(text);
    return S_OK;
}

void EventDelivery::Stop() noexcept
{
    listener_ = nullptr;
    backlog_.Clear();
    pendingMenu_ = MenuRequest();
}

}  // namespace zanthel
