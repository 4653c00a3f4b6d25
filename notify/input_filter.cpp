#include "notify/input_filter.h"

namespace zanthel {
namespace {

Reaction Raising(IconEvent event) noexcept
{
    Reaction reaction;
    reaction.event = event;
    return reaction;
}

}  // namespace

Reaction InputFilter::Select(MenuSource source, bool leftClickMenu) noexcept
{
    if (!leftClickMenu) return Raising(IconEvent::Click);
    Reaction reaction;
    // A mouse click may be the first of a double click, which must not meet an open menu.
    if (source == MenuSource::Mouse) {
        menuWaiting_ = reaction.waitForDoubleClick = true;
    } else {
        reaction.menu = source;
    }
    return reaction;
}

Reaction InputFilter::Callback(UINT callback, DWORD now, DoubleClickTime doubleClickTime, bool leftClickMenu) noexcept
{
    // The pointer resting on the icon and its tip come between anything.
    if (callback == WM_MOUSEMOVE || callback == NIN_POPUPOPEN || callback == NIN_POPUPCLOSE) return Reaction();
    const UINT previous = previous_;
    previous_ = callback;
    switch (callback) {
        case WM_LBUTTONDOWN:
            swallowSelect_ = false;
            return Reaction();
        case NIN_KEYSELECT:
            // Enter on the focused icon selects twice for one press.
            if (previous == NIN_KEYSELECT && now - keySelectTick_ <= doubleClickTime.Get()) {
                previous_ = 0;
                return Reaction();
            }
            keySelectTick_ = now;
            return Select(MenuSource::Keyboard, leftClickMenu);
        case NIN_SELECT:
            // Some shells (Wine's) select again on a double click's button-up.
            if (swallowSelect_ && now - doubleClickTick_ <= doubleClickTime.Get()) {
                swallowSelect_ = false;
                return Reaction();
            }
            return Select(MenuSource::Mouse, leftClickMenu);
        case WM_LBUTTONDBLCLK: {
            swallowSelect_ = true;
            doubleClickTick_ = now;
            Reaction reaction = Raising(IconEvent::DoubleClick);
            reaction.chooseDefault = true;
            reaction.stopWaiting = menuWaiting_;
            menuWaiting_ = false;
            return reaction;
        }
        case WM_CONTEXTMENU: {
            // Right-button menus come just after the button's release; the
            // menu key and Shift+F10 send this alone.
            Reaction reaction;
            reaction.menu = previous == WM_RBUTTONUP ? MenuSource::Mouse : MenuSource::Keyboard;
            reaction.rightClick = true;
            return reaction;
        }
        case WM_MBUTTONUP:
            return Raising(IconEvent::MiddleClick);
        case NIN_BALLOONSHOW:
            balloonCloseRaised_ = false;
            return Raising(IconEvent::BalloonShown);
        case NIN_BALLOONUSERCLICK: {
            Reaction reaction = Raising(IconEvent::BalloonClick);
            reaction.balloonGone = true;
            return reaction;
        }
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE: {
            // Timed out, dismissed, replaced or gone with its icon: one close per balloon.
            Reaction reaction;
            reaction.balloonGone = true;
            if (!balloonCloseRaised_) {
                balloonCloseRaised_ = true;
                reaction.event = IconEvent::BalloonClosed;
            }
            return reaction;
        }
        default:
            return Reaction();
    }
}

Reaction InputFilter::MenuWaitEnded() noexcept
{
    Reaction reaction;
    if (!menuWaiting_) return reaction;
    menuWaiting_ = false;
    reaction.menu = MenuSource::Mouse;
    return reaction;
}

}  // namespace zanthel
