// What the shell's version-4 callbacks mean, as a plain function of the
// callback and the time: it holds only what a meaning depends on (Enter's
// pair of selects, the select a double click trails, the wait before a
// left click's menu, one close per balloon).
#pragma once

#include "notify/icon_event.h"

namespace zanthel {

// Where a popup was asked for: a mouse menu opens at the pointer, and only
// one from the keyboard hands the focus back to the notification area.
enum class MenuSource : UCHAR { None, Mouse, Keyboard };

// What one callback asks of the icon, in this order: raise event, choose the
// default item, stop or start waiting for a double click, open the menu.
struct Reaction {
    IconEvent event = IconEvent::None;
    bool chooseDefault = false;
    bool stopWaiting = false;
    // The menu opens at MenuWaitEnded unless a double click comes first.
    bool waitForDoubleClick = false;
    MenuSource menu = MenuSource::None;
    // Asked by the right button or the menu key: an empty menu raises RightClick.
    bool rightClick = false;
    // The shell is done with the balloon, and with its picture.
    bool balloonGone = false;

    bool OpensMenu() const noexcept { return menu != MenuSource::None || waitForDoubleClick; }
};

// The double-click time: a fixed one, or by default the system's, read only
// when a callback's meaning depends on it (the read is a call into the
// window manager, dearer than the rest of a click).
class DoubleClickTime {
public:
    DoubleClickTime() noexcept = default;
    DoubleClickTime(DWORD fixed) noexcept : milliseconds_(fixed), known_(true) {}
    DWORD Get() const noexcept { return known_ ? milliseconds_ : ::GetDoubleClickTime(); }

private:
    DWORD milliseconds_ = 0;
    bool known_ = false;
};

class InputFilter {
public:
    // leftClickMenu: a left click or Enter opens the menu instead of raising Click.
    Reaction Callback(UINT callback, DWORD now, DoubleClickTime doubleClickTime, bool leftClickMenu) noexcept;
    // The double-click time after a left click's select has passed.
    Reaction MenuWaitEnded() noexcept;
    // The host showed a balloon: its close is still to come.
    void NewBalloon() noexcept { balloonCloseRaised_ = false; }

private:
    Reaction Select(MenuSource source, bool leftClickMenu) noexcept;

    // The last callback that can part Enter's pair, and when things came.
    UINT previous_ = 0;
    DWORD keySelectTick_ = 0, doubleClickTick_ = 0;
    bool swallowSelect_ = false, menuWaiting_ = false, balloonCloseRaised_ = false;
};

}  // namespace zanthel
