#include "common/text.h"

#include "common/errors.h"

#include <new>

namespace zanthel {

Text& Text::operator=(Text&& other) noexcept
{
    if (this != &other) {
        ::SysFreeString(value_);
        value_ = other.Release();
    }
    return *this;
}

BSTR Text::Release() noexcept
{
    BSTR value = value_;
    value_ = nullptr;
    return value;
}

HRESULT Text::Assign(const wchar_t* characters, UINT length) noexcept
{
    BSTR copy = nullptr;
    if (characters && length > 0) {
        copy = ::SysAllocStringLen(characters, length);
        if (!copy) return E_OUTOFMEMORY;
    }
    ::SysFreeString(value_);
    value_ = copy;
    return S_OK;
}

HRESULT Text::Assign(const wchar_t* characters) noexcept
{
    return Assign(characters, characters ? ::lstrlenW(characters) : 0);
}

HRESULT Text::Append(const wchar_t* characters, UINT length) noexcept
{
    if (!characters || length == 0) return S_OK;
    const UINT current = Length();
    if (length > 0x7FFFFFFFu / sizeof(wchar_t) - current) return E_OUTOFMEMORY;
    BSTR joined = ::SysAllocStringLen(nullptr, current + length);
    if (!joined) return E_OUTOFMEMORY;
    if (current) ::CopyMemory(joined, value_, current * sizeof(wchar_t));
    ::CopyMemory(joined + current, characters, length * sizeof(wchar_t));
    ::SysFreeString(value_);
    value_ = joined;
    return S_OK;
}

HRESULT Text::Append(const wchar_t* characters) noexcept
{
    return Append(characters, characters ? ::lstrlenW(characters) : 0);
}

HRESULT Text::AppendNumber(LONG number) noexcept
{
    wchar_t digits[16];
    const int length = ::wsprintfW(digits, L"%ld", number);
    return Append(digits, static_cast<UINT>(length));
}

HRESULT Text::CopyTo(BSTR* out) const noexcept
{
    *out = ::SysAllocStringLen(Chars(), Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

UINT Text::CutLength(UINT limit) const noexcept
{
    const UINT length = Length();
    if (length <= limit) return length;
    return limit > 0 && IS_HIGH_SURROGATE(value_[limit - 1]) ? limit - 1 : limit;
}

bool Text::HasNul() const noexcept
{
    for (UINT index = 0; index < Length(); ++index)
        if (value_[index] == L'\0') return true;
    return false;
}

bool Text::Equals(const wchar_t* other) const noexcept
{
    const UINT length = Length();
    for (UINT index = 0; index < length; ++index)
        if (!other[index] || other[index] != value_[index]) return false;
    return other[length] == L'\0';
}

HRESULT AnsiText::Convert(const wchar_t* characters, UINT length) noexcept
{
    const int units = static_cast<int>(length);
    const int bytes = units ? ::WideCharToMultiByte(CP_ACP, 0, characters, units, nullptr, 0, nullptr, nullptr) : 0;
    if (units && bytes <= 0) return LastError();
    std::unique_ptr<char[]> chars(new (std::nothrow) char[static_cast<SIZE_T>(bytes) + 1]);
    if (!chars) return E_OUTOFMEMORY;
    if (units) ::WideCharToMultiByte(CP_ACP, 0, characters, units, chars.get(), bytes, nullptr, nullptr);
    chars[bytes] = '\0';
    chars_ = std::move(chars);
    return S_OK;
}

}  // namespace zanthel
