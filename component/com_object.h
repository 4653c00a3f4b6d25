// The IUnknown plumbing shared by the component's public COM objects.
#pragma once

#include "module.h"
#include "win.h"

#include <atomic>

namespace zanthel {

// Holds the reference count and keeps the module loaded while the object
// lives. Derived classes answer QueryInterface through QueryOwnInterface.
template <typename Derived>
class ComObject {
public:
    ComObject() { module::AddObject(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { module::ReleaseObject(); }

protected:
    ULONG AddReference() noexcept { return ++references_; }
    ULONG ReleaseReference() noexcept
    {
        ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace zanthel

// Declares AddRef and Release for a class built on ComObject.
#define ZANTHEL_IUNKNOWN_COUNTING                                                 \
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return AddReference(); } \
    ULONG STDMETHODCALLTYPE Release() noexcept override { return ReleaseReference(); }
