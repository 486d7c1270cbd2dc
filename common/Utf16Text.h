#pragma once
// Conversions between UTF-8 and UTF-16, the two encodings in which text
// reaches the program from outside (settings files, the windows' strings).

#include <optional>
#include <string>
#include <string_view>

// UTF-8 to UTF-16; nothing when the text is not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

bool IsValidUtf8(std::string_view text);
