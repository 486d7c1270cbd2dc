// The registry export text: what is written, and what is read from the
// editor's files, hand edits and damaged text.

#include "settings/MemoryRegistry.h"
#include "settings/RegExport.h"
#include "settings/Utf16Text.h"

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

TEST(RegExport, WritesTheRegistryEditorsTextAndReadsItBackUnchanged)
{
    const std::string text = WriteRegExport(kSample);
    EXPECT_EQ(text, Utf16LE("Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A]\r\n"
                            "\"CommPort\"=dword:00000002\r\n"
                            "\"DownloadPath\"=\"C:\\\\fw\\\\\"\r\n"
                            "\"SendCmd1\"=\"at+ab SendData FFFF \\\"Hello World\\\\n\\\"\"\r\n"
                            "\"Caption\"=\"Caf\xC3\xA9\"\r\n"
                            "\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00\r\n"
                            "@=\"default\"\r\n"
                            "\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A\\Sub]\r\n"
                            "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                            "\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\B]\r\n"
                            "\"CommPort\"=dword:00000009\r\n"
                            "\"Flow\"=dword:ffffffff\r\n"
                            "\r\n"));
    const RegParseResult parsed = ParseRegExport(text);
    EXPECT_TRUE(parsed.recognised && parsed.intact);
    EXPECT_EQ(WriteRegExport(parsed.entries), text);
}

TEST(RegExport, ReadsEachKindOfValueLine)
{
    struct Case {
        const char *line;
        std::optional<RegValue> value; // nothing: the line is left out
        bool intact;
    } cases[] = {
        {R"("X"=dword:2)", V::Dword(2), true},
        {R"("X"=DWORD:FFFFFFFF)", V::Dword(0xFFFFFFFF), true},
        {R"("X"=dword:123456789)", V::Other("dword:123456789"), true}, // kept, never a number
        {R"("X"=dword:zz)", V::Other("dword:zz"), true},
        {R"("X"="a\\b\"c")", V::String("a\\b\"c"), true},
        {R"("X"=hex(1):41,00,00,00)", V::String("A"), true},
        {R"("X"=hex(1):41,00,00)", V::Other("hex(1):41,00,00"), true},
        {R"("X"=-)", std::nullopt, true},
        {R"("X"="unterminated)", std::nullopt, false},
        {R"("X"="a" b)", std::nullopt, false},
        {R"("X"=42)", std::nullopt, false},
        {R"(X=dword:1)", std::nullopt, false},
    };
    for (const Case &c : cases) {
        const RegParseResult parsed = ParseRegExport("REGEDIT4\n[" + kA + "]\n" + c.line + "\n");
        EXPECT_EQ(parsed.intact, c.intact) << c.line;
        ASSERT_EQ(parsed.entries.size(), c.value ? 1u : 0u) << c.line;
        if (c.value) {
            EXPECT_EQ(parsed.entries[0].value, *c.value) << c.line;
        }
    }
}

TEST(RegExport, ReadsHandEditsAndKeepsValuesOfBrokenKeysOutOfOtherKeys)
{
    struct Case {
        const char *what;
        std::string text;
        std::vector<RegEntry> entries;
    } cases[] = {
        {"hand edit in UTF-8 with LF",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n[" + kA + "]\n\"P\"=dword:3\n", {{kA, "P", V::Dword(3)}}},
        {"hex value over several lines", "REGEDIT4\r\n[" + kA + "]\r\n\"Q\"=hex(b):01,02,\\\r\n  03\r\n",
         {{kA, "Q", V::Other("hex(b):01,02,03")}}},
        {"deleted key", "REGEDIT4\n[-" + kA + "]\n\"X\"=dword:1\n[" + kB + "]\n\"Y\"=dword:2\n", {{kB, "Y", V::Dword(2)}}},
        {"key header without its closing bracket",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n[" + kB + "\n\"Y\"=dword:2\n", {{kA, "X", V::Dword(1)}}},
        {"key header without its opening bracket",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n" + kB + "]\n\"Y\"=dword:2\n", {{kA, "X", V::Dword(1)}}},
        {"hex value continued on a line holding a NUL",
         "REGEDIT4\n[" + kA + "]\n\"Q\"=hex:01,\\\n" + std::string("0\0" "2\n", 4) + "\"X\"=dword:1\n",
         {{kA, "X", V::Dword(1)}}},
        {"garbage line inside a key", "REGEDIT4\n[" + kA + "]\n\x01\xFFjunk\n\"X\"=dword:1\n", {{kA, "X", V::Dword(1)}}},
        {"no export header", "[General]\nCommPort=2\n", {}},
        {"binary", std::string("\x00\x01\xFE\xFF\x80", 5), {}},
    };
    for (const Case &c : cases) {
        const RegParseResult parsed = ParseRegExport(c.text);
        ASSERT_EQ(parsed.entries.size(), c.entries.size()) << c.what;
        EXPECT_TRUE(SameEntries(parsed.entries, c.entries, c.entries.size())) << c.what;
    }
    EXPECT_FALSE(ParseRegExport("[General]\n").recognised);
}

// A file cut short anywhere, even inside a character, reads as the values
// before the cut: never a value that was not in the file.
TEST(RegExport, FileCutShortAnywhereReadsAsTheValuesBeforeTheCut)
{
    const std::string text = WriteRegExport(kSample);
    const std::vector<RegEntry> whole = ParseRegExport(text).entries;
    for (size_t cut = 0; cut < text.size(); ++cut) {
        const RegParseResult parsed = ParseRegExport(std::string_view(text).substr(0, cut));
        ASSERT_LE(parsed.entries.size(), whole.size()) << "cut at " << cut;
        ASSERT_TRUE(SameEntries(parsed.entries, whole, parsed.entries.size())) << "cut at " << cut;
    }
}

} // namespace
