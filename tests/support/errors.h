// What a failure says: to a host, in the thread's error object; below the
// COM boundary, in the description a layer leaves for the barrier.
#pragma once

#include "common/errors.h"

#include <string>
#include <wrl/client.h>

namespace zanthel::test {

// What ErrorDescription reads when the thread has no error object, which an
// empty description is not.
inline constexpr const wchar_t* kNoErrorInfo = L"(no error information)";

// The description of the thread's error object, taking it as a host does.
inline std::wstring ErrorDescription()
{
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return kNoErrorInfo;
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::wstring description = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return description;
}

// For programs that link the layers: what a layer said of its last failure,
// left waiting for the barrier; or, given the failure, taken as the barrier
// takes it, empty when the layer gave none for that failure.
inline std::wstring LayerDescription()
{
    const Text pending = PendingDescription();
    return std::wstring(pending.Chars(), pending.Length());
}
inline std::wstring LayerDescription(HRESULT hr)
{
    const Text taken = TakeDescription(hr);
    return std::wstring(taken.Chars(), taken.Length());
}

}  // namespace zanthel::test
