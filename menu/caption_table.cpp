#include "caption_table.h"

#include "../component/errors.h"

#include <climits>

namespace zanthel {

HRESULT CaptionTable::Resize(LONG upper)
{
    if (locks_ > 0) return kArrayLocked;
    if (upper < -1) return kSubscriptOutOfRange;
    if (!entries_) entries_.emplace();
    entries_->resize(static_cast<size_t>(upper) + 1);
    return S_OK;
}

HRESULT CaptionTable::Append(const std::wstring& caption, LONG& id)
{
    LONG upper;
    RETURN_IF_FAILED(UpperBound(upper));
    if (upper == LONG_MAX) return kOverflow;
    RETURN_IF_FAILED(Resize(upper + 1));
    id = upper + 1;
    entries_->back() = caption;
    return S_OK;
}

HRESULT CaptionTable::UpperBound(LONG& upper) const
{
    if (!entries_) return kSubscriptOutOfRange;
    upper = static_cast<LONG>(entries_->size()) - 1;
    return S_OK;
}

HRESULT CaptionTable::Entry(LONG index, std::wstring*& entry)
{
    if (!entries_ || index < 0 || static_cast<size_t>(index) >= entries_->size()) return kSubscriptOutOfRange;
    entry = &(*entries_)[static_cast<size_t>(index)];
    return S_OK;
}

}  // namespace zanthel
