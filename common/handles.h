// Owners for the raw Windows handles the component holds.
#pragma once

#include "win.h"

#include <utility>

namespace zanthel {

// Owns one handle and frees it with Close when it goes out of scope.
template <typename Handle, auto Close, Handle Empty = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    Handle release() { return std::exchange(handle_, Empty); }
    void reset(Handle h = Empty)
    {
        Handle old = std::exchange(handle_, h);
        if (old != Empty) Close(old);
    }
    Handle* put()
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Empty;
};

inline void CloseMenu(HMENU m) { ::DestroyMenu(m); }
inline void CloseIcon(HICON i) { ::DestroyIcon(i); }
inline void CloseKey(HKEY k) { ::RegCloseKey(k); }
inline void CloseLocal(HLOCAL l) { ::LocalFree(l); }
inline void CloseFile(HANDLE f) { ::CloseHandle(f); }

using UniqueMenu = UniqueHandle<HMENU, CloseMenu>;
using UniqueIcon = UniqueHandle<HICON, CloseIcon>;
using UniqueKey = UniqueHandle<HKEY, CloseKey>;
using UniqueLocal = UniqueHandle<HLOCAL, CloseLocal>;
// Null when there is no file: INVALID_HANDLE_VALUE cannot be a template argument.
using UniqueFile = UniqueHandle<HANDLE, CloseFile>;

}  // namespace zanthel
