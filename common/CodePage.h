#pragma once
// The program's 8-bit text is Windows-1252, on every platform and whatever
// the machine's own locale: typed characters, command texts and captions,
// settings, titles and file names in the download header are all one byte a
// character in that page. Text from outside (the windows' strings, the
// settings file) is Unicode; every conversion between the two goes through
// these functions.
//
// The five bytes that the page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters of the same number, as Windows
// converts them, so that every byte survives a round trip.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The Unicode character of one byte.
char16_t CodePageToUnicode(uint8_t byte);
// The byte of one Unicode character; nothing when the page has no code for it.
std::optional<uint8_t> UnicodeToCodePage(char32_t character);

std::u16string CodePageToUtf16(std::string_view text);
// Characters without a code in the page are left out (a surrogate pair is one
// character). `complete`, when given, tells whether none was left out.
std::string Utf16ToCodePage(std::u16string_view text, bool *complete = nullptr);

std::string CodePageToUtf8(std::string_view text);
// As Utf16ToCodePage; text that is not valid UTF-8 is read one byte a
// character, as 8-bit text already.
std::string Utf8ToCodePage(std::string_view text, bool *complete = nullptr);
