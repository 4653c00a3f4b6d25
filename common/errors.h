// The component's own automation errors and the barrier every COM entry uses.
#pragma once

#include "common/text.h"
#include "common/win.h"

#include <wrl/client.h>

namespace zanthel {

// The standard automation error codes a Basic host knows by number.
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kArrayLocked = static_cast<HRESULT>(0x800A000A);
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

// The failure of the Windows call just made: its last error as an HRESULT,
// or E_FAIL when the call left none.
HRESULT LastError() noexcept;

// Sets the thread's error information for a failing result, so that a
// dispatch caller never sees the description of an earlier failure.
HRESULT ReportError(HRESULT hr) noexcept;

// Fails with a description a user can act on: what, then detail in quotes
// (a file name, say) if given. Returns hr.
HRESULT Describe(HRESULT hr, const wchar_t* what, const Text* detail = nullptr) noexcept;

// The barriers' ends, out of line: every member has one.
HRESULT FinishBarrier(HRESULT hr) noexcept;
HRESULT FinishDescribingBarrier(HRESULT hr) noexcept;

// Runs body, which returns an HRESULT, and leaves the thread's error
// information matching the result. The component is built without
// exceptions, so none can reach the system's frames on the way out.
template <typename Body>
HRESULT ComBarrier(Body&& body) noexcept
{
    return FinishBarrier(body());
}

// ComBarrier for members whose failures may carry a description of their
// own (Describe); any other failure gets the system's, as in ComBarrier.
template <typename Body>
HRESULT DescribingBarrier(Body&& body) noexcept
{
    ::SetErrorInfo(0, nullptr);
    return FinishDescribingBarrier(body());
}

}  // namespace zanthel

// Stops the calling member with the failure of a call it made.
#define RETURN_IF_FAILED(expr)       \
    do {                             \
        const HRESULT hr_ = (expr);  \
        if (FAILED(hr_)) return hr_; \
    } while (0)
