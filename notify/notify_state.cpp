#include "notify/notify_state.h"

#include "notify/notification_icon.h"

namespace zanthel {

void NotifyState::Add(NotificationIcon& icon) noexcept
{
    icon.state_ = this;
    icons.PushFront(icon);
}

void NotifyState::Remove(NotificationIcon& icon) noexcept
{
    icons.Remove(icon);
    icon.state_ = nullptr;
}

void NotifyState::End() noexcept
{
    // Each icon leaves the list as it closes.
    while (NotificationIcon* icon = icons.First()) icon->Close();
}

void NotifyState::Abandon() noexcept
{
    while (NotificationIcon* icon = icons.First()) icon->End(NotificationIcon::Ending::ThreadEnds);
}

}  // namespace zanthel
