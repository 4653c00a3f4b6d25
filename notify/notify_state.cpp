#include "notify/notify_state.h"

#include "notify/notification_icon.h"

namespace zanthel {

void NotifyState::Add(NotificationIcon& icon) noexcept
{
    icon.state_ = this;
    icon.next_ = first;
    if (first) first->previous_ = &icon;
    first = &icon;
}

void NotifyState::End() noexcept
{
    // Each icon leaves the list as it closes.
    while (first) first->Close();
}

void NotifyState::Abandon() noexcept
{
    while (first) first->End(NotificationIcon::Ending::ThreadEnds);
}

}  // namespace zanthel
