// The notification icons' part of the apartment's state: the thread's live
// icons, so that the apartment's end takes every one of them along.
#pragma once

#include "common/apartment.h"
#include "common/intrusive_list.h"

namespace zanthel {

class NotificationIcon;

struct NotifyState final : ApartmentPart {
    static constexpr ApartmentLayer kLayer = ApartmentLayer::Notify;

    // Closes every icon: each leaves the notification area and its window goes.
    void End() noexcept override;
    // Only the icons' NIM_DELETE; the system destroys the ending thread's windows.
    void Abandon() noexcept override;

    void Add(NotificationIcon& icon) noexcept;
    void Remove(NotificationIcon& icon) noexcept;

    // Live icons of the thread, linked through the icons themselves.
    IntrusiveList<NotificationIcon> icons;
};

}  // namespace zanthel
