// Every icon the process has in the notification area, whichever thread and
// class shows it, so that a host that exits without releasing its objects
// (exit(), quitting LabVIEW) does not leave them behind: Windows keeps an
// icon whose window died until the pointer passes over it.
#pragma once

#include "common/intrusive_list.h"
#include "common/win.h"

namespace zanthel {

// One icon, identified to the shell by its window and identifier, while it
// is in the process-wide list.
class ShownIconRecord : private ListLink<ShownIconRecord> {
public:
    ShownIconRecord() = default;
    ShownIconRecord(const ShownIconRecord&) = delete;
    ShownIconRecord& operator=(const ShownIconRecord&) = delete;
    ~ShownIconRecord() { Forget(); }

    // Into the list, or moved to another icon when already in it.
    void Remember(HWND window, UINT id) noexcept;
    void Forget() noexcept;
    using ListLink::Listed;

private:
    friend class IntrusiveList<ShownIconRecord>;
    friend void DeleteShownIconsAtExit() noexcept;

    HWND window_ = nullptr;
    UINT id_ = 0;
};

// At process exit, under the loader lock: every window lets go of its object
// first, then NIM_DELETE for every icon still listed, and nothing else. The
// shell's call is a send with a time-out that gives up on a hung shell, to
// another process, so it cannot wait for this process's loader lock; no
// window is destroyed and nothing waits for a thread of this process (those
// are gone). A thread that died holding the list's lock leaves the list alone.
void DeleteShownIconsAtExit() noexcept;

}  // namespace zanthel
