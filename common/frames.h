// Frames a host may skip. A handler's exception that the host catches around
// its message loop (a __try around DispatchMessage) leaves our frames without
// running a line more of them: no destructor, no reset. A later entry finds
// such a frame gone when it is not beneath the entry's own on the stack,
// which grows down.
#pragma once

#include "common/win.h"

namespace zanthel {

inline bool FrameIsGone(const void* frame, const void* running) noexcept
{
    return reinterpret_cast<UINT_PTR>(frame) <= reinterpret_cast<UINT_PTR>(running);
}

// The references that nested entries into a window hold, each with its frame,
// so that the next entry releases the ones whose frames were skipped.
class EntryHolds {
public:
    // False when too deep to record: that hold is then the frame's alone.
    bool Push(const void* frame) noexcept
    {
        if (count_ == kDepth) return false;
        frames_[count_++] = frame;
        return true;
    }
    // Forgets frame's record, and the records above it of frames a host
    // skipped on the way back to it; returns how many of those, whose holds
    // the caller releases.
    UINT Pop(const void* frame) noexcept
    {
        UINT skipped = 0;
        for (; count_ > 0 && frames_[count_ - 1] != frame; --count_) ++skipped;
        if (count_ > 0) --count_;
        return skipped;
    }
    // How many recorded holds belong to frames gone by the time running runs;
    // they are forgotten, and the caller releases them.
    UINT DropGone(const void* running) noexcept
    {
        UINT gone = 0;
        for (; count_ > 0 && FrameIsGone(frames_[count_ - 1], running); --count_) ++gone;
        return gone;
    }

private:
    static constexpr UINT kDepth = 32;
    const void* frames_[kDepth] = {};
    UINT count_ = 0;
};

}  // namespace zanthel
