#include "menu/caption_table.h"

#include "common/errors.h"

#include <climits>

namespace zanthel {

HRESULT CaptionTable::Resize(LONG upper) noexcept
{
    if (upper < -1) return kSubscriptOutOfRange;
    const ULONG count = static_cast<ULONG>(upper) + 1;
    SAFEARRAYBOUND bound{count, 0};
    if (!entries_) {
        // Not SafeArrayCreateVector: Wine never frees a vector's data once
        // it has been resized.
        entries_.reset(::SafeArrayCreate(VT_BSTR, 1, &bound));
        return entries_ ? S_OK : E_OUTOFMEMORY;
    }
    const HRESULT hr = ::SafeArrayRedim(entries_.get(), &bound);
    return hr == DISP_E_ARRAYISLOCKED ? kArrayLocked : hr;
}

HRESULT CaptionTable::Append(const Text& caption, LONG& id) noexcept
{
    LONG upper;
    RETURN_IF_FAILED(UpperBound(upper));
    if (upper == LONG_MAX) return kOverflow;
    RETURN_IF_FAILED(Resize(upper + 1));
    id = upper + 1;
    // The array keeps its own copy of the caption.
    return ::SafeArrayPutElement(entries_.get(), &id, caption.Get());
}

HRESULT CaptionTable::UpperBound(LONG& upper) const noexcept
{
    if (!entries_) return kSubscriptOutOfRange;
    return ::SafeArrayGetUBound(entries_.get(), 1, &upper);
}

HRESULT CaptionTable::Entry(LONG index, BSTR& entry) noexcept
{
    LONG upper;
    RETURN_IF_FAILED(UpperBound(upper));
    if (index < 0 || index > upper) return kSubscriptOutOfRange;
    void* slot = nullptr;
    RETURN_IF_FAILED(::SafeArrayPtrOfIndex(entries_.get(), &index, &slot));
    entry = *static_cast<BSTR*>(slot);
    return S_OK;
}

}  // namespace zanthel
