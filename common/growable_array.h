// A small array that grows as needed and owns its elements.
#pragma once

#include "common/errors.h"
#include "common/win.h"

#include <memory>
#include <new>
#include <utility>

namespace zanthel {

// Elements past Count() are always empty (T()).
template <typename T>
class GrowableArray {
public:
    GrowableArray() = default;
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;

    UINT Count() const noexcept { return count_; }
    T& operator[](UINT index) noexcept { return items_[index]; }
    const T& operator[](UINT index) const noexcept { return items_[index]; }

    HRESULT Append(const T& item) noexcept
    {
        RETURN_IF_FAILED(Reserve(count_ + 1));
        items_[count_++] = item;
        return S_OK;
    }
    // Into an empty array.
    HRESULT CopyFrom(const GrowableArray& other) noexcept
    {
        RETURN_IF_FAILED(Reserve(other.count_));
        for (; count_ < other.count_; ++count_) items_[count_] = other.items_[count_];
        return S_OK;
    }
    // Keeps the first count elements, or adds empty ones up to count.
    HRESULT Resize(UINT count) noexcept
    {
        RETURN_IF_FAILED(Reserve(count));
        while (count_ > count) items_[--count_] = T();
        count_ = count;
        return S_OK;
    }
    // The element leaves through item, so that releasing it (which may call
    // back into the array's owner) happens after the array is consistent.
    void RemoveAt(UINT index, T& item) noexcept
    {
        item = std::move(items_[index]);
        for (; index + 1 < count_; ++index) items_[index] = std::move(items_[index + 1]);
        items_[--count_] = T();
    }

private:
    HRESULT Reserve(UINT needed) noexcept
    {
        if (needed <= capacity_) return S_OK;
        const UINT capacity = needed > 2 * capacity_ ? needed : 2 * capacity_;
        std::unique_ptr<T[]> grown(new (std::nothrow) T[capacity]);
        if (!grown) return E_OUTOFMEMORY;
        for (UINT index = 0; index < count_; ++index) grown[index] = std::move(items_[index]);
        items_ = std::move(grown);
        capacity_ = capacity;
        return S_OK;
    }

    std::unique_ptr<T[]> items_;
    UINT count_ = 0;
    UINT capacity_ = 0;
};

}  // namespace zanthel
