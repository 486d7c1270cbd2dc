#include "settings/RegExport.h"

#include "common/CodePage.h"
#include "common/Utf16Text.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(s[i]) != Lower(prefix[i]))
            return false;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The file's bytes as UTF-8 text: UTF-16LE after its byte-order mark (the
// editor's own encoding), otherwise UTF-8, otherwise 8-bit text.
std::string DecodeText(std::string_view bytes, bool &intact)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            intact = false;
            bytes.remove_suffix(1);
        }
        std::u16string units(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                             (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        return Utf16ToUtf8(units);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return IsValidUtf8(bytes) ? std::string(bytes) : CodePageToUtf8(bytes);
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// A quoted text starting at s[pos] with the editor's escapes \\ and \";
// pos ends after the closing quote.
std::optional<std::string> ParseQuoted(std::string_view s, size_t &pos)
{
    if (pos >= s.size() || s[pos] != '"')
        return std::nullopt;
    std::string out;
    for (size_t i = pos + 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (s[i] == '"') {
            pos = i + 1;
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> ParseDword(std::string_view digits)
{
    digits = Trim(digits);
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (const char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

// hex(1): a REG_SZ written as its UTF-16LE bytes with the terminating zero.
std::optional<std::string> ParseHexString(std::string_view list)
{
    std::string bytes;
    list = Trim(list);
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0)
            return std::nullopt;
        bytes += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::u16string units;
    for (size_t i = 0; i < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (!units.empty() && units.back() == u'\0')
        units.pop_back();
    if (units.find(u'\0') != std::u16string::npos)
        return std::nullopt;
    return Utf16ToUtf8(units);
}

// The data after '='; nothing when it is no value the editor writes.
std::optional<RegValue> ParseData(std::string_view data)
{
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::optional<std::string> text = ParseQuoted(data, pos);
        if (!text || !Trim(data.substr(pos)).empty())
            return std::nullopt;
        return RegValue::String(std::move(*text));
    }
    if (StartsWithNoCase(data, "dword:")) {
        if (const std::optional<uint32_t> v = ParseDword(data.substr(6)))
            return RegValue::Dword(*v);
        return RegValue::Other(std::string(data));
    }
    if (StartsWithNoCase(data, "hex(1):")) {
        if (std::optional<std::string> text = ParseHexString(data.substr(7)))
            return RegValue::String(std::move(*text));
        return RegValue::Other(std::string(data));
    }
    if (StartsWithNoCase(data, "hex") && data.find(':') != std::string_view::npos)
        return RegValue::Other(std::string(data));
    return std::nullopt;
}

bool LooksLikeKeyHeader(std::string_view line)
{
    return line[0] == '[' || line.back() == ']' || StartsWithNoCase(line, "HKEY_");
}

std::vector<std::string_view> PathParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t sep; (sep = path.find('\\', start)) != std::string_view::npos; start = sep + 1)
        parts.push_back(path.substr(start, sep - start));
    parts.push_back(path.substr(start));
    return parts;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return Lower(a[i]) < Lower(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The editor's order: a key before its subkeys, siblings by name without case.
bool KeyPathLess(const std::string &a, const std::string &b)
{
    const std::vector<std::string_view> pa = PathParts(a), pb = PathParts(b);
    for (size_t i = 0; i < pa.size() && i < pb.size(); ++i)
        if (const int c = CompareNoCase(pa[i], pb[i]))
            return c < 0;
    if (pa.size() != pb.size())
        return pa.size() < pb.size();
    return a < b;
}

std::u16string ToUtf16(std::string_view text)
{
    if (std::optional<std::u16string> units = Utf8ToUtf16(text))
        return *units;
    return CodePageToUtf16(text);
}

std::u16string Quoted(std::string_view text)
{
    std::u16string out = u"\"";
    for (const char16_t c : ToUtf16(text)) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out + u"\"";
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string DataText(const RegValue &value)
{
    switch (value.type) {
    case RegValue::Type::Dword: {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value.dword));
        return u"dword:" + Ascii(digits);
    }
    case RegValue::Type::String: {
        const bool hasControl = std::any_of(value.text.begin(), value.text.end(),
                                            [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        if (!hasControl)
            return Quoted(value.text);
        std::u16string out = u"hex(1):";
        char byte[4];
        for (const char16_t c : ToUtf16(value.text) + u'\0') {
            std::snprintf(byte, sizeof byte, "%02x", c & 0xFF);
            out += Ascii(byte) + u",";
            std::snprintf(byte, sizeof byte, "%02x", c >> 8);
            out += Ascii(byte) + u",";
        }
        out.pop_back();
        return out;
    }
    case RegValue::Type::Other:
        return ToUtf16(value.text);
    }
    return {};
}

} // namespace

RegParseResult ParseRegExport(std::string_view fileBytes)
{
    RegParseResult result;
    const std::string text = DecodeText(fileBytes, result.intact);
    std::vector<std::string_view> lines = SplitLines(text);

    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty())
        ++i;
    if (i == lines.size() || (Trim(lines[i]) != kHeader && Trim(lines[i]) != kOldHeader))
        return {false, false, {}};
    result.recognised = true;
    // Every line of an export ends with a line break: a last line without one
    // is what is left of a file cut short, and is not read.
    if (i + 1 < lines.size() && text.back() != '\n' && text.back() != '\r') {
        lines.pop_back();
        result.intact = false;
    }

    // Values belong to the last readable key header; after a broken header they
    // belong to no key and are left out rather than given to the key before.
    enum class Section { None, Deleted, Key } section = Section::None;
    std::string keyPath;
    for (++i; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.find('\0') != std::string_view::npos) {
            result.intact = false;
            continue;
        }
        if (line[0] == '[') {
            const bool closed = line.size() > 2 && line.back() == ']';
            if (closed && line[1] == '-') {
                section = Section::Deleted;
            } else if (closed) {
                section = Section::Key;
                keyPath = std::string(line.substr(1, line.size() - 2));
            } else {
                section = Section::None;
                result.intact = false;
            }
            continue;
        }

        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (std::optional<std::string> quoted = ParseQuoted(line, pos)) {
            name = std::move(*quoted);
        } else {
            // A line that is no value may be a key header gone wrong: then the
            // values after it are not the current key's.
            if (LooksLikeKeyHeader(line))
                section = Section::None;
            result.intact = false;
            continue;
        }
        const std::string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest[0] != '=') {
            result.intact = false;
            continue;
        }
        std::string data(Trim(rest.substr(1)));
        bool truncated = false;
        if (!data.empty() && data[0] != '"') {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (i + 1 == lines.size()) {
                    truncated = true;
                    break;
                }
                data += Trim(lines[++i]);
            }
            // A blank before the backslash, or an empty last line, would
            // otherwise end the value with a blank that no read keeps.
            data = std::string(Trim(data));
        }
        if (section == Section::Deleted || data == "-")
            continue;
        // A continued line may hold a NUL that its first line did not.
        const bool damaged = truncated || data.find('\0') != std::string::npos;
        std::optional<RegValue> value = damaged ? std::nullopt : ParseData(data);
        if (section == Section::None || !value) {
            result.intact = false;
            continue;
        }
        result.entries.push_back({keyPath, std::move(name), std::move(*value)});
    }
    return result;
}

std::string WriteRegExport(const std::vector<RegEntry> &entries)
{
    std::map<std::string, std::vector<const RegEntry *>> byKey;
    for (const RegEntry &e : entries)
        byKey[e.keyPath].push_back(&e);
    std::vector<std::string> keys;
    for (const auto &k : byKey)
        keys.push_back(k.first);
    std::sort(keys.begin(), keys.end(), KeyPathLess);

    std::u16string text = u"\uFEFF" + Ascii(kHeader) + u"\r\n\r\n";
    for (const std::string &key : keys) {
        text += u"[" + ToUtf16(key) + u"]\r\n";
        for (const RegEntry *e : byKey[key]) {
            text += e->name.empty() ? std::u16string(u"@") : Quoted(e->name);
            text += u"=" + DataText(e->value) + u"\r\n";
        }
        text += u"\r\n";
    }

    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}
