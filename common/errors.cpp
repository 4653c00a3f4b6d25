#include "common/errors.h"

#include "common/handles.h"
#include "common/text.h"

#include <wrl/client.h>

namespace zanthel {
namespace {

const wchar_t* OwnDescription(HRESULT hr)
{
    switch (hr) {
        case kOverflow:
            return L"Overflow";
        case kSubscriptOutOfRange:
            return L"Subscript out of range";
        case kArrayLocked:
            return L"This array is fixed or temporarily locked";
        case kObjectNotSet:
            return L"Object variable or With block variable not set";
        default:
            return nullptr;
    }
}

// The system's text for any other failure; empty when it has none.
void SystemDescription(HRESULT hr, Text& description)
{
    UniqueLocal buffer;
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    const auto* text = static_cast<const wchar_t*>(buffer.get());
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r')) --length;
    description.Assign(text, length);
}

// Leaves description as the thread's error information.
HRESULT SetDescription(HRESULT hr, const Text& description) noexcept
{
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(&create))) {
        ::SetErrorInfo(0, nullptr);
        return hr;
    }
    create->SetDescription(description.Get());
    create->SetSource(const_cast<LPOLESTR>(L"Zanthel"));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.Get());
    return hr;
}

}  // namespace

HRESULT LastError() noexcept
{
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT ReportError(HRESULT hr) noexcept
{
    const wchar_t* own = OwnDescription(hr);
    Text description;
    if (own) {
        description.Assign(own);
    } else {
        SystemDescription(hr, description);
    }
    return SetDescription(hr, description);
}

HRESULT Describe(HRESULT hr, const wchar_t* what, const Text* detail) noexcept
{
    Text description;
    description.Assign(what);
    if (detail) {
        description.Append(L" \"");
        description.Append(*detail);
        description.Append(L"\"");
    }
    return SetDescription(hr, description);
}

HRESULT FinishBarrier(HRESULT hr) noexcept
{
    if (FAILED(hr)) return ReportError(hr);
    ::SetErrorInfo(0, nullptr);
    return hr;
}

HRESULT FinishDescribingBarrier(HRESULT hr) noexcept
{
    if (SUCCEEDED(hr)) return hr;
    Microsoft::WRL::ComPtr<IErrorInfo> described;
    if (::GetErrorInfo(0, &described) != S_OK || !described) return ReportError(hr);
    ::SetErrorInfo(0, described.Get());
    return hr;
}

}  // namespace zanthel
