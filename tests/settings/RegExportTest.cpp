// The registry export text: what is written, and what is read from the
// editor's files, hand edits and damaged text.

#include "settings/RegExport.h"
#include "common/Utf16Text.h"

#include <gtest/gtest.h>

namespace {

using V = RegValue;
const std::string kA = "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A";
const std::string kB = "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\B";

std::string Utf16LE(const std::string &utf8)
{
    std::string bytes = "\xFF\xFE";
    const std::u16string units = Utf8ToUtf16(utf8).value();
    for (const char16_t c : units)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

bool SameEntries(const std::vector<RegEntry> &a, const std::vector<RegEntry> &b, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (a[i].keyPath != b[i].keyPath || a[i].name != b[i].name || !(a[i].value == b[i].value))
            return false;
    return true;
}

const std::vector<RegEntry> kSample = {
    {kB, "CommPort", V::Dword(9)},
    {kA, "CommPort", V::Dword(2)},
    {kA, "DownloadPath", V::String("C:\\fw\\")},
    {kA, "SendCmd1", V::String("at+ab SendData FFFF \"Hello World\\n\"")},
    {kA, "Caption", V::String("Caf\xC3\xA9")},
    {kA + "\\Sub", "Big", V::Other("hex(b):01,00,00,00,00,00,00,00")},
    {kA, "Lines", V::String("one\r\ntwo")},
    {kA, "", V::String("default")},
    {kB, "Flow", V::Dword(0xFFFFFFFF)},
};

// Written text is read back unchanged; a file cut short anywhere, even inside
// a character, reads as the values before the cut: never a value that was not
// in the file.
TEST(RegExport, WritesTheRegistryEditorsTextAndReadsItBackUnchangedOrCutShort)
{
    const std::string text = WriteRegExport(kSample);
    EXPECT_EQ(text, Utf16LE("Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A]\r\n"
                            "\"CommPort\"=dword:00000002\r\n"
                            "\"DownloadPath\"=\"C:\\\\fw\\\\\"\r\n"
                            "\"SendCmd1\"=\"at+ab SendData FFFF \\\"Hello World\\\\n\\\"\"\r\n"
                            "\"Caption\"=\"Caf\xC3\xA9\"\r\n"
                            "\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00\r\n"
                            "@=\"default\"\r\n\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A\\Sub]\r\n"
                            "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\B]\r\n"
                            "\"CommPort\"=dword:00000009\r\n"
                            "\"Flow\"=dword:ffffffff\r\n\r\n"));
    const RegParseResult parsed = ParseRegExport(text);
    EXPECT_TRUE(parsed.recognised && parsed.intact);
    EXPECT_EQ(WriteRegExport(parsed.entries), text);
    for (size_t cut = 0; cut < text.size(); ++cut) {
        const std::vector<RegEntry> entries = ParseRegExport(std::string_view(text).substr(0, cut)).entries;
        ASSERT_LE(entries.size(), parsed.entries.size()) << "cut at " << cut;
        ASSERT_TRUE(SameEntries(entries, parsed.entries, entries.size())) << "cut at " << cut;
    }
}

// What the editor writes, what a hand edit leaves and damaged text: every
// value that can be read is read, and no value lands in a key it is not in.
TEST(RegExport, ReadsValueLinesHandEditsAndDamagedText)
{
    const auto inA = [](const std::string &line) { return "REGEDIT4\n[" + kA + "]\n" + line + "\n"; };
    const auto a = [](const char *name, const RegValue &v) { return std::vector<RegEntry>{{kA, name, v}}; };
    struct Case {
        std::string what, text;
        std::vector<RegEntry> entries;
    } cases[] = {
        {"short dword", inA(R"("X"=dword:2)"), a("X", V::Dword(2))},
        {"dword over 32 bits: kept, not a number", inA(R"("X"=dword:123456789)"), a("X", V::Other("dword:123456789"))},
        {"string as hex(1)", inA(R"("X"=hex(1):41,00,00,00)"), a("X", V::String("A"))},
        {"UTF-8 with LF", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n[" + kA + "]\n\"X\"=dword:3\n",
         a("X", V::Dword(3))},
        {"hex over several lines", inA("\"X\"=hex(b):01,02,\\\r\n  03"), a("X", V::Other("hex(b):01,02,03"))},
        {"hex continued after a blank on an empty line", inA("\"X\"=hex:01, \\\n"), a("X", V::Other("hex:01,"))},
        {"hex continued on a line holding a NUL", inA("\"Q\"=hex:01,\\\n" + std::string("0\0" "2\n", 4) + "\"X\"=dword:1"),
         a("X", V::Dword(1))},
        {"garbage line", inA("\x01\xFFjunk\n\"X\"=dword:1"), a("X", V::Dword(1))},
        {"key header without ']'", inA("\"X\"=dword:1\n[" + kB + "\n\"Y\"=dword:2"), a("X", V::Dword(1))},
        {"key header without '['", inA("\"X\"=dword:1\n" + kB + "]\n\"Y\"=dword:2"), a("X", V::Dword(1))},
        {"no export header", "[General]\nCommPort=2\n", {}},
    };
    for (const Case &c : cases) {
        const RegParseResult parsed = ParseRegExport(c.text);
        ASSERT_EQ(parsed.entries.size(), c.entries.size()) << c.what;
        EXPECT_TRUE(SameEntries(parsed.entries, c.entries, c.entries.size())) << c.what;
    }
    EXPECT_FALSE(ParseRegExport(cases[std::size(cases) - 1].text).recognised);
}

} // namespace
