#include "common/taskbar_created.h"

#include <atomic>

namespace zanthel {
namespace {

UINT TaskbarCreatedMessage() noexcept
{
    // Registered once per process; the value is the same for every thread.
    static std::atomic<UINT> registered{0};
    UINT value = registered.load(std::memory_order_relaxed);
    if (value == 0) {
        value = ::RegisterWindowMessageW(L"TaskbarCreated");
        registered.store(value, std::memory_order_relaxed);
    }
    return value;
}

}  // namespace

bool IsTaskbarCreated(UINT msg) noexcept
{
    // A failed registration gives 0, which no broadcast carries.
    const UINT value = TaskbarCreatedMessage();
    return value != 0 && msg == value;
}

void AllowTaskbarCreated(HWND window) noexcept
{
    if (const UINT value = TaskbarCreatedMessage()) ::ChangeWindowMessageFilterEx(window, value, MSGFLT_ALLOW, nullptr);
}

}  // namespace zanthel
