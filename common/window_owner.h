// One owner for the module's windows of either class: a window that routes
// its messages to one object, attached once the window exists, let go of
// before it is destroyed or its thread or the process ends, and counted, so
// that the module stays loaded while any of its procedures can be called.
#pragma once

#include "common/handles.h"
#include "common/win.h"

namespace zanthel {

class WindowOwner {
public:
    WindowOwner() = default;
    WindowOwner(const WindowOwner&) = delete;
    WindowOwner& operator=(const WindowOwner&) = delete;
    ~WindowOwner() { LetGo(); }

    // window, of this thread, now routes to object, and hears
    // "TaskbarCreated" even in an elevated host.
    void Attach(HWND window, void* object) noexcept;
    HWND get() const noexcept { return window_.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(window_); }
    // The window is no longer the object's: its messages stop finding it,
    // and the caller decides whether it goes.
    UniqueWindow LetGo() noexcept;

    // The object window routes to; null before Attach, after LetGo, and
    // once the process exits.
    template <typename Object>
    static Object* Of(HWND window) noexcept
    {
        return static_cast<Object*>(Find(window));
    }

private:
    static void* Find(HWND window) noexcept;

    UniqueWindow window_;
};

// The process exits: from now on no window finds its object, so the messages
// the shell sends while the last icons leave it, under the loader lock,
// reach only the system's default handling.
void LetGoOfWindowsAtExit() noexcept;
bool ProcessExits() noexcept;

}  // namespace zanthel
