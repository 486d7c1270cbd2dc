// The registry export text: what is written, what is read back, and what
// becomes of damaged text.

#include "settings/MemoryRegistry.h"
#include "settings/RegExport.h"
#include "settings/Utf16Text.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using V = RegValue;
const std::string kA = "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A";
const std::string kB = "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\B";

std::string Utf16LE(const std::string &utf8)
{
    std::string bytes = "\xFF\xFE";
    const std::u16string units = Utf8ToUtf16(utf8).value();
    for (const char16_t c : units) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::vector<RegEntry> SampleEntries()
{
    return {
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
}

bool SameEntry(const RegEntry &a, const RegEntry &b)
{
    return a.keyPath == b.keyPath && a.name == b.name && a.value == b.value;
}

TEST(RegExport, WritesTheRegistryEditorsText)
{
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
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
        "\r\n";
    EXPECT_EQ(WriteRegExport(SampleEntries()), Utf16LE(expected));
}

TEST(RegExport, ReadsBackWhatItWritesAndWritesItAgainUnchanged)
{
    const std::string text = WriteRegExport(SampleEntries());
    const RegParseResult parsed = ParseRegExport(text);
    ASSERT_TRUE(parsed.recognised);
    EXPECT_TRUE(parsed.intact);
    ASSERT_EQ(parsed.entries.size(), SampleEntries().size());
    for (const RegEntry &want : SampleEntries()) {
        const bool found = std::any_of(parsed.entries.begin(), parsed.entries.end(),
                                       [&](const RegEntry &e) { return SameEntry(e, want); });
        EXPECT_TRUE(found) << want.keyPath << " " << want.name;
    }
    EXPECT_EQ(WriteRegExport(parsed.entries), text);
}

TEST(RegExport, ReadsEachKindOfValueLine)
{
    struct Case {
        const char *line;
        std::optional<RegValue> value; // nothing: the line is left out
        bool intact;
    } cases[] = {
        {R"("X"=dword:00000002)", V::Dword(2), true},
        {R"("X"=dword:2)", V::Dword(2), true},
        {R"("X"=DWORD:FFFFFFFF)", V::Dword(0xFFFFFFFF), true},
        {R"("X"=dword:123456789)", V::Other("dword:123456789"), true},
        {R"("X"=dword:zz)", V::Other("dword:zz"), true},
        {R"("X"=dword:)", V::Other("dword:"), true},
        {R"("X"="a\\b\"c")", V::String("a\\b\"c"), true},
        {R"("X"="")", V::String(""), true},
        {R"("X"=hex(1):41,00,00,00)", V::String("A"), true},
        {R"("X"=hex(1):41,00,00)", V::Other("hex(1):41,00,00"), true},
        {R"("X"=hex(2):25,00,00,00)", V::Other("hex(2):25,00,00,00"), true},
        {R"("X"=hex:)", V::Other("hex:"), true},
        {R"("X"=-)", std::nullopt, true},
        {R"("X"="unterminated)", std::nullopt, false},
        {R"("X"="a" b)", std::nullopt, false},
        {R"("X")", std::nullopt, false},
        {R"("X"=42)", std::nullopt, false},
        {R"(X=dword:1)", std::nullopt, false},
        {"; a comment", std::nullopt, true},
    };
    for (const Case &c : cases) {
        const std::string text = "REGEDIT4\n[" + kA + "]\n" + c.line + "\n";
        const RegParseResult parsed = ParseRegExport(text);
        EXPECT_EQ(parsed.intact, c.intact) << c.line;
        if (c.value) {
            ASSERT_EQ(parsed.entries.size(), 1u) << c.line;
            EXPECT_EQ(parsed.entries[0].value, *c.value) << c.line;
            EXPECT_EQ(parsed.entries[0].name, "X") << c.line;
        } else {
            EXPECT_TRUE(parsed.entries.empty()) << c.line;
        }
    }
}

TEST(RegExport, ReadsTheLayoutsOfTheEditorAndOfHandEdits)
{
    struct Case {
        const char *what;
        std::string text;
        std::vector<RegEntry> entries;
        bool intact;
    } cases[] = {
        {"hand-edited UTF-8 with LF",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n[" + kA + "]\n\"CommPort\"=dword:00000003\n",
         {{kA, "CommPort", V::Dword(3)}}, true},
        {"hex value over several lines",
         "REGEDIT4\r\n[" + kA + "]\r\n\"Q\"=hex(b):01,02,\\\r\n  03,04\r\n\"N\"=dword:1\r\n",
         {{kA, "Q", V::Other("hex(b):01,02,03,04")}, {kA, "N", V::Dword(1)}}, true},
        {"values of a deleted key",
         "REGEDIT4\n[-" + kA + "]\n\"X\"=dword:1\n[" + kB + "]\n\"Y\"=dword:2\n",
         {{kB, "Y", V::Dword(2)}}, true},
        {"values after a broken key header belong to no key",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n[" + kB + "\n\"Y\"=dword:2\n[" + kB + "]\n\"Z\"=dword:3\n",
         {{kA, "X", V::Dword(1)}, {kB, "Z", V::Dword(3)}}, false},
        {"values after a key header without its bracket belong to no key",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n" + kB + "]\n\"Y\"=dword:2\n",
         {{kA, "X", V::Dword(1)}}, false},
        {"values before any key", "REGEDIT4\n\"X\"=dword:1\n", {}, false},
        {"a garbage line between keys",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n\x01\x02\xFF garbage\n[" + kB + "]\n\"Y\"=dword:2\n",
         {{kA, "X", V::Dword(1)}, {kB, "Y", V::Dword(2)}}, false},
        {"a last line without its line break is cut short",
         "REGEDIT4\n[" + kA + "]\n\"X\"=dword:1\n\"Y\"=dword:00", {{kA, "X", V::Dword(1)}}, false},
    };
    for (const Case &c : cases) {
        const RegParseResult parsed = ParseRegExport(c.text);
        EXPECT_TRUE(parsed.recognised) << c.what;
        EXPECT_EQ(parsed.intact, c.intact) << c.what;
        ASSERT_EQ(parsed.entries.size(), c.entries.size()) << c.what;
        for (size_t i = 0; i < c.entries.size(); ++i)
            EXPECT_TRUE(SameEntry(parsed.entries[i], c.entries[i])) << c.what << " entry " << i;
    }
}

TEST(RegExport, RefusesTextThatIsNoExport)
{
    const std::string cases[] = {
        "",
        "[General]\nCommPort=2\n",
        std::string("\x00\x01\x02\xFE\xFF\x80garbage\x00", 12),
        "\xFE\xFF\x00W\x00i\x00n", // UTF-16BE is not what the editor writes
        "Windows Registry Editor Version 4.00\r\n",
    };
    for (const std::string &text : cases) {
        const RegParseResult parsed = ParseRegExport(text);
        EXPECT_FALSE(parsed.recognised) << text;
        EXPECT_TRUE(parsed.entries.empty()) << text;
    }
}

// A file cut short anywhere, even inside a character, reads as the values
// before the cut: never a value that was not in the file.
TEST(RegExport, FileCutShortAnywhereReadsAsItsCompleteValues)
{
    const std::string text = WriteRegExport(SampleEntries());
    const std::vector<RegEntry> whole = ParseRegExport(text).entries;
    for (size_t cut = 0; cut < text.size(); ++cut) {
        const RegParseResult parsed = ParseRegExport(std::string_view(text).substr(0, cut));
        ASSERT_LE(parsed.entries.size(), whole.size()) << "cut at " << cut;
        for (size_t i = 0; i < parsed.entries.size(); ++i)
            ASSERT_TRUE(SameEntry(parsed.entries[i], whole[i])) << "cut at " << cut << ", entry " << i;
    }
}

TEST(RegExport, DamagedBytesNeverBreakTheReader)
{
    const std::string text = WriteRegExport(SampleEntries());
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = text;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        const RegParseResult parsed = ParseRegExport(damaged);
        // What it reads can be written and read again as the same values.
        const RegParseResult again = ParseRegExport(WriteRegExport(parsed.entries));
        ASSERT_EQ(again.entries.size(), parsed.entries.size()) << "round " << round;
    }
}

} // namespace
