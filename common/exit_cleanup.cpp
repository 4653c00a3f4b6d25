#include "common/exit_cleanup.h"

#include "common/window_owner.h"

namespace zanthel {
namespace {

SRWLOCK listLock = SRWLOCK_INIT;
IntrusiveList<ShownIconRecord> shown;

class ListLock {
public:
    ListLock() noexcept { ::AcquireSRWLockExclusive(&listLock); }
    ~ListLock() { ::ReleaseSRWLockExclusive(&listLock); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
};

}  // namespace

void ShownIconRecord::Remember(HWND window, UINT id) noexcept
{
    ListLock lock;
    window_ = window;
    id_ = id;
    shown.PushFront(*this);
}

void ShownIconRecord::Forget() noexcept
{
    ListLock lock;
    shown.Remove(*this);
}

void DeleteShownIconsAtExit() noexcept
{
    // While the shell takes an icon away it may send its window a last
    // notice, which must not reach an object under the loader lock.
    LetGoOfWindowsAtExit();
    if (!::TryAcquireSRWLockExclusive(&listLock)) return;
    for (ShownIconRecord* record = shown.First(); record; record = IntrusiveList<ShownIconRecord>::Next(*record)) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = record->window_;
        data.uID = record->id_;
        ::Shell_NotifyIconW(NIM_DELETE, &data);
    }
    ::ReleaseSRWLockExclusive(&listLock);
}

}  // namespace zanthel
