// The caption table: entry n is the caption of the menu item with command
// identifier n. It does not exist until a menu bar is bound to a window.
#pragma once

#include "../component/win.h"

#include <optional>
#include <string>
#include <vector>

namespace zanthel {

class CaptionTable {
public:
    bool Exists() const { return entries_.has_value(); }

    // Keeps entries up to upper and drops the rest; creates the table if needed.
    HRESULT Resize(LONG upper);

    // Takes the next identifier (upper bound plus one) for caption.
    HRESULT Append(const std::wstring& caption, LONG& id);

    HRESULT UpperBound(LONG& upper) const;
    HRESULT Entry(LONG index, std::wstring*& entry);

    // Held while an entry is handed out by reference; resizing fails meanwhile.
    class Lock {
    public:
        explicit Lock(CaptionTable& table) : table_(table) { ++table_.locks_; }
        ~Lock() { --table_.locks_; }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CaptionTable& table_;
    };

private:
    std::optional<std::vector<std::wstring>> entries_;
    int locks_ = 0;
};

}  // namespace zanthel
