#include "text.h"

#include <new>

namespace zanthel {

std::wstring FromBstr(BSTR text)
{
    if (!text) return {};
    return std::wstring(text, ::SysStringLen(text));
}

std::wstring FromBstr(const BSTR* text) { return text ? FromBstr(*text) : std::wstring(); }

BSTR ToBstr(const std::wstring& text)
{
    BSTR result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result) throw std::bad_alloc();
    return result;
}

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, result.data(), bytes, nullptr, nullptr);
    return result;
}

}  // namespace zanthel
