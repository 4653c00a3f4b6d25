// The component's own automation errors, how a layer describes a failure,
// and the one barrier every COM entry goes through.
#pragma once

#include "common/text.h"
#include "common/win.h"

namespace zanthel {

// The standard automation error codes a Basic host knows by number.
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kArrayLocked = static_cast<HRESULT>(0x800A000A);
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

// The failure of the Windows call just made: its last error as an HRESULT,
// or E_FAIL when the call left none.
HRESULT LastError() noexcept;

// Fails with a description a user can act on: what, then detail in quotes
// (a file name, say) if given. Returns hr. The description waits on the
// thread for the barrier, which hands it to the caller with a failure of
// the same hr.
HRESULT Describe(HRESULT hr, const wchar_t* what, const Text* detail = nullptr) noexcept;

// The description a layer gave for hr on this thread and no barrier took
// yet, taken; empty when there is none.
Text TakeDescription(HRESULT hr) noexcept;

// The description waiting on this thread, whatever its failure, left in place.
Text PendingDescription() noexcept;

// The module is being unloaded: the thread slot the descriptions wait in
// goes back to the process.
void ReleaseDescriptionSlot() noexcept;

// The barrier's end, out of line: every member has one.
HRESULT FinishBarrier(HRESULT hr) noexcept;

// Runs body, which returns an HRESULT, and leaves the thread's error
// information matching the result: a failure's own description if a layer
// gave one, else the system's. Every failure sets its own, so a dispatch
// caller never sees the description of an earlier failure. The component is built
// without exceptions, so none can reach the system's frames on the way out.
template <typename Body>
HRESULT ComBarrier(Body&& body) noexcept
{
    TakeDescription(S_OK);
    return FinishBarrier(body());
}

}  // namespace zanthel

// Stops the calling member with the failure of a call it made.
#define RETURN_IF_FAILED(expr)       \
    do {                             \
        const HRESULT hr_ = (expr);  \
        if (FAILED(hr_)) return hr_; \
    } while (0)
