#include "common/exit_cleanup.h"

namespace zanthel {
namespace {

SRWLOCK listLock = SRWLOCK_INIT;
ShownIconRecord* first = nullptr;

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
    if (listed_) return;
    listed_ = true;
    next_ = first;
    if (first) first->previous_ = this;
    first = this;
}

void ShownIconRecord::Forget() noexcept
{
    ListLock lock;
    if (!listed_) return;
    (previous_ ? previous_->next_ : first) = next_;
    if (next_) next_->previous_ = previous_;
    previous_ = next_ = nullptr;
    listed_ = false;
}

void DeleteShownIconsAtExit() noexcept
{
    if (!::TryAcquireSRWLockExclusive(&listLock)) return;
    for (ShownIconRecord* record = first; record; record = record->next_) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = record->window_;
        data.uID = record->id_;
        ::Shell_NotifyIconW(NIM_DELETE, &data);
    }
    ::ReleaseSRWLockExclusive(&listLock);
}

}  // namespace zanthel
