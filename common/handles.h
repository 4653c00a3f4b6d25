// Owners for the raw Windows and COM resources the component holds.
#pragma once

#include "common/win.h"

#include <atomic>
#include <memory>
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
inline void CloseSafeArray(SAFEARRAY* a) { ::SafeArrayDestroy(a); }
inline void CloseWindowHandle(HWND w) { ::DestroyWindow(w); }

using UniqueMenu = UniqueHandle<HMENU, CloseMenu>;
using UniqueIcon = UniqueHandle<HICON, CloseIcon>;
using UniqueKey = UniqueHandle<HKEY, CloseKey>;
using UniqueLocal = UniqueHandle<HLOCAL, CloseLocal>;
// Null when there is no file: INVALID_HANDLE_VALUE cannot be a template argument.
using UniqueFile = UniqueHandle<HANDLE, CloseFile>;
using UniqueSafeArray = UniqueHandle<SAFEARRAY*, CloseSafeArray>;
using UniqueWindow = UniqueHandle<HWND, CloseWindowHandle>;
using UniqueModule = UniqueHandle<HMODULE, ::FreeLibrary>;

// Variants that start empty and are cleared when they go.
template <UINT Count>
struct UniqueVariants {
    UniqueVariants()
    {
        for (VARIANT& item : items) V_VT(&item) = VT_EMPTY;
    }
    UniqueVariants(const UniqueVariants&) = delete;
    UniqueVariants& operator=(const UniqueVariants&) = delete;
    ~UniqueVariants()
    {
        for (VARIANT& item : items)
            if (V_VT(&item) != VT_EMPTY) ::VariantClear(&item);
    }

    VARIANT items[Count];
};

// The strings IDispatch::Invoke leaves in its exception record.
struct UniqueExcepInfo : EXCEPINFO {
    UniqueExcepInfo() noexcept
    {
        // Field by field: a whole-record zeroing compiles, for size, to a
        // string instruction whose start-up costs more than the stores.
        wCode = wReserved = 0;
        bstrSource = bstrDescription = bstrHelpFile = nullptr;
        dwHelpContext = 0;
        pvReserved = nullptr;
        pfnDeferredFillIn = nullptr;
        scode = 0;
    }
    UniqueExcepInfo(const UniqueExcepInfo&) = delete;
    UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
    // Most calls leave them empty: no call into the system then.
    ~UniqueExcepInfo()
    {
        if (bstrSource) ::SysFreeString(bstrSource);
        if (bstrDescription) ::SysFreeString(bstrDescription);
        if (bstrHelpFile) ::SysFreeString(bstrHelpFile);
    }
};

// Owns one object that threads may offer at the same time: the first offer
// is kept, later ones go. No destructor: the module lets go with Reset when
// it is unloaded, never at process exit, where a release could wait for a
// lock of a thread already gone.
template <typename T>
class SharedOnce {
public:
    T* Get() const noexcept { return value_.load(std::memory_order_acquire); }
    // The object kept: the one offered, or one another thread offered first.
    T* Offer(std::unique_ptr<T> offered) noexcept
    {
        T* kept = nullptr;
        return value_.compare_exchange_strong(kept, offered.get()) ? offered.release() : kept;
    }
    void Reset() noexcept { std::unique_ptr<T>(value_.exchange(nullptr)); }

private:
    std::atomic<T*> value_{nullptr};
};

}  // namespace zanthel
