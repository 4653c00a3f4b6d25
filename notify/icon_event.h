// What the user did to an icon, and who hears it.
#pragma once

#include "common/text.h"
#include "common/win.h"

namespace zanthel {

// The values are the events' dispatch identifiers.
enum class IconEvent : LONG {
    None = 0,
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

// The event's name, as NextEvent and the type library spell it.
const wchar_t* EventName(IconEvent event) noexcept;

// Told of every event on the icon's thread, after the event has been queued,
// in the order the user caused them: never from inside a modal loop (the
// menu's), another event's raise, or a message another thread sent.
class IconEventListener {
public:
    // itemId and caption are those of the chosen item for MenuItemClick,
    // 0 and empty otherwise.
    virtual void IconEventRaised(IconEvent event, LONG itemId, const Text& caption) noexcept = 0;
    // A counted listener lives while a raise holds it: a handler may release
    // the host's last reference.
    virtual void HoldForRaise() noexcept {}
    virtual void ReleaseFromRaise() noexcept {}

protected:
    ~IconEventListener() = default;
};

}  // namespace zanthel
