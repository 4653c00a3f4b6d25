// Reference counting for the component's private objects. They live on one
// apartment thread, so the count needs no atomics.
#pragma once

#include <new>
#include <wrl/client.h>

namespace zanthel {

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    unsigned long AddRef() noexcept { return ++references_; }
    unsigned long Release() noexcept
    {
        unsigned long left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;

private:
    unsigned long references_ = 1;
};

// Owning reference to a private object; objects start with one reference,
// which Make hands to its result, empty when there is no memory.
template <typename T>
using Ref = Microsoft::WRL::ComPtr<T>;

template <typename T, typename... Args>
Ref<T> Make(Args&&... args)
{
    Ref<T> result;
    // Adopts the object's first reference. MinGW's ComPtr::Attach would add
    // a second one, and every object made would leak.
    *result.GetAddressOf() = new (std::nothrow) T(static_cast<Args&&>(args)...);
    return result;
}

}  // namespace zanthel
