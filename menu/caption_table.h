// The caption table: entry n is the caption of the menu item with command
// identifier n. It does not exist until a menu bar is bound to a window. An
// automation array of strings, so that resizing it while an entry is handed
// out is refused the way automation refuses it.
#pragma once

#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

class CaptionTable {
public:
    CaptionTable() = default;
    CaptionTable(const CaptionTable&) = delete;
    CaptionTable& operator=(const CaptionTable&) = delete;

    // Keeps entries up to upper and drops the rest; creates the table if needed.
    HRESULT Resize(LONG upper) noexcept;

    // Takes the next identifier (upper bound plus one) for caption.
    HRESULT Append(const Text& caption, LONG& id) noexcept;

    HRESULT UpperBound(LONG& upper) const noexcept;
    // The table's own entry, valid while the table is locked or unchanged.
    HRESULT Entry(LONG index, BSTR& entry) noexcept;

    // Held while an entry is handed out by reference; resizing fails meanwhile.
    class Lock {
    public:
        explicit Lock(CaptionTable& table) noexcept : locked_(table.entries_.get())
        {
            if (locked_) ::SafeArrayLock(locked_);
        }
        ~Lock()
        {
            if (locked_) ::SafeArrayUnlock(locked_);
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        SAFEARRAY* locked_;
    };

private:
    UniqueSafeArray entries_;
};

}  // namespace zanthel
