#include "common/window_owner.h"

#include "common/module.h"
#include "common/taskbar_created.h"

#include <atomic>
#include <utility>

namespace zanthel {
namespace {

std::atomic<bool> processExits{false};

}  // namespace

void WindowOwner::Attach(HWND window, void* object) noexcept
{
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    window_.reset(window);
    module::HostWindowCreated();
    AllowTaskbarCreated(window);
}

UniqueWindow WindowOwner::LetGo() noexcept
{
    if (window_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
        module::HostWindowDestroyed();
    }
    return std::move(window_);
}

void* WindowOwner::Find(HWND window) noexcept
{
    if (processExits.load(std::memory_order_relaxed)) return nullptr;
    return reinterpret_cast<void*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void LetGoOfWindowsAtExit() noexcept { processExits = true; }

bool ProcessExits() noexcept { return processExits.load(std::memory_order_relaxed); }

}  // namespace zanthel
