#pragma once
// Conversions between the program's 8-bit text (UTF-8 here) and the UTF-16
// that the registry export files and the instance store's names use.

#include <optional>
#include <string>
#include <string_view>

// UTF-8 to UTF-16; nothing when the text is not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

bool IsValidUtf8(std::string_view text);

// Each byte as the character of the same number (ISO 8859-1), in UTF-8.
std::string Latin1ToUtf8(std::string_view text);
