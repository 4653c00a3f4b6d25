// What a host reads of a failed call: the thread's error object.
#pragma once

#include "common/win.h"

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

}  // namespace zanthel::test
