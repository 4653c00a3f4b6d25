// The tool tip's field in the code pages hosts run with: Wine runs every
// program with the locale's code page, so the others are named here.
#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <string>

using namespace zanthel;

namespace {

// The field's text up to its NUL, decoded; empty when it is not valid text.
std::wstring Decoded(const CHAR (&field)[kTipField], UINT codePage)
{
    const int length = static_cast<int>(std::string(field, kTipField).find('\0'));
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (length > 0 && !::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, field, length, text.data(), length))
        return L"<split character>";
    text.resize(static_cast<size_t>(::MultiByteToWideChar(codePage, 0, field, length, nullptr, 0)));
    return text;
}

}  // namespace

TEST(ToolTip, CutBetweenWholeCharactersWithinTheFieldInEveryCodePage)
{
    const struct {
        UINT codePage;
        std::wstring tip;
        size_t shown;  // characters that fit in 63 bytes
    } cases[] = {
        {1252, std::wstring(70, L'a'), 63},
        {65001, std::wstring(40, L'\u00E9'), 31},             // two bytes each in UTF-8
        {65001, L"a" + std::wstring(20, L'\u20AC'), 1 + 20},  // three bytes each: 61 bytes
        {65001, std::wstring(10, L'x') + L"\U0001F600\U0001F600" + std::wstring(60, L'y'), 10 + 4 + 45},
        {932, std::wstring(40, L'\u3042'), 31},  // double-byte
    };
    for (const auto& c : cases) {
        Text tip;
        ASSERT_EQ(S_OK, tip.Assign(c.tip.data(), static_cast<UINT>(c.tip.size())));
        CHAR field[kTipField];
        FillTip(field, tip, c.codePage);
        const std::wstring shown = Decoded(field, c.codePage);
        EXPECT_EQ(c.tip.substr(0, c.shown), shown) << "code page " << c.codePage;
        const size_t end = std::string(field, kTipField).find('\0');
        ASSERT_LT(end, static_cast<size_t>(kTipField)) << "the field keeps its NUL";
        EXPECT_EQ(std::string(kTipField - end - 1, ' '), std::string(field + end + 1, kTipField - end - 1));
    }
}
