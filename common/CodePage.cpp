#include "common/CodePage.h"

#include "common/Utf16Text.h"

namespace {
// 0x80..0x9F; the undefined five map to the control characters of their number.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

char16_t CodePageToUnicode(uint8_t byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
}

std::optional<uint8_t> UnicodeToCodePage(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return uint8_t(c);
    for (uint8_t i = 0; i < 32; ++i)
        if (kHighControls[i] == c)
            return uint8_t(0x80 + i);
    return std::nullopt;
}

std::u16string CodePageToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char c : text)
        out += CodePageToUnicode(uint8_t(c));
    return out;
}

std::string Utf16ToCodePage(std::u16string_view text, bool *complete)
{
    std::string out;
    out.reserve(text.size());
    bool all = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i; // a character beyond the first plane: never in the page
            all = false;
        } else if (const std::optional<uint8_t> byte = UnicodeToCodePage(unit)) {
            out += char(*byte);
        } else {
            all = false;
        }
    }
    if (complete)
        *complete = all;
    return out;
}

std::string CodePageToUtf8(std::string_view text) { return Utf16ToUtf8(CodePageToUtf16(text)); }

std::string Utf8ToCodePage(std::string_view text, bool *complete)
{
    if (const std::optional<std::u16string> units = Utf8ToUtf16(text))
        return Utf16ToCodePage(*units, complete);
    if (complete)
        *complete = true;
    return std::string(text);
}
