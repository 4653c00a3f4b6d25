// Text as the automation strings the component receives and returns: an
// owned BSTR, and the ANSI form the Win32 calls take.
#pragma once

#include "common/win.h"

#include <memory>

namespace zanthel {

// Owns one BSTR; a null BSTR is the empty text. Every operation that
// allocates reports E_OUTOFMEMORY instead of throwing.
class Text {
public:
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    Text(Text&& other) noexcept : value_(other.Release()) {}
    Text& operator=(Text&& other) noexcept;
    ~Text() { ::SysFreeString(value_); }
    // Takes over a BSTR the caller allocated; an allocation that failed is the empty text.
    static Text Adopt(BSTR owned) noexcept
    {
        Text text;
        text.value_ = owned;
        return text;
    }

    // A copy of characters; a null source is the empty text.
    HRESULT Assign(const wchar_t* characters, UINT length) noexcept;
    HRESULT Assign(const wchar_t* characters) noexcept;
    HRESULT Assign(BSTR source) noexcept { return Assign(source, ::SysStringLen(source)); }
    HRESULT Assign(const Text& source) noexcept { return Assign(source.value_); }

    // Appends to the text.
    HRESULT Append(const wchar_t* characters, UINT length) noexcept;
    HRESULT Append(const wchar_t* characters) noexcept;
    HRESULT Append(const Text& more) noexcept { return Append(more.Chars(), more.Length()); }
    HRESULT AppendNumber(LONG number) noexcept;

    // A new BSTR holding the text, for the caller to free.
    HRESULT CopyTo(BSTR* out) const noexcept;

    BSTR Get() const noexcept { return value_; }
    BSTR Release() noexcept;
    // Never null, so it can be handed to calls that take a string.
    const wchar_t* Chars() const noexcept { return value_ ? value_ : L""; }
    UINT Length() const noexcept { return ::SysStringLen(value_); }
    bool Empty() const noexcept { return Length() == 0; }
    // How many units of the text fit in limit without splitting a surrogate pair.
    UINT CutLength(UINT limit) const noexcept;
    bool HasNul() const noexcept;
    // Code unit by code unit, so "a" and "a\0" differ.
    bool Equals(const wchar_t* other) const noexcept;

private:
    BSTR value_ = nullptr;
};

// Text in the system's ANSI code page, for the ANSI entry points.
class AnsiText {
public:
    AnsiText() = default;
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    HRESULT Convert(const wchar_t* characters, UINT length) noexcept;
    HRESULT Convert(const Text& text) noexcept { return Convert(text.Chars(), text.Length()); }
    // Never null; ends at the first NUL, as the ANSI calls read it.
    const char* Chars() const noexcept { return chars_ ? chars_.get() : ""; }

private:
    std::unique_ptr<char[]> chars_;
};

}  // namespace zanthel
