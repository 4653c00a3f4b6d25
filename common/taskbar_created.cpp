#include "common/taskbar_created.h"

#include <atomic>

namespace zanthel {

bool IsTaskbarCreated(UINT msg) noexcept
{
    // Registered once per process; the value is the same for every thread.
    static std::atomic<UINT> registered{0};
    UINT value = registered.load(std::memory_order_relaxed);
    if (value == 0) {
        value = ::RegisterWindowMessageW(L"TaskbarCreated");
        registered.store(value, std::memory_order_relaxed);
    }
    // A failed registration gives 0, which no broadcast carries.
    return value != 0 && msg == value;
}

}  // namespace zanthel
