// The 8-bit code page: every byte survives a round trip through Unicode, the
// page's own characters map both ways, and characters outside it are left out.
#include "common/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, EveryByteRoundTripsAndThePagesCharactersMapBothWays)
{
    for (int b = 0; b < 256; ++b) {
        const char16_t u = CodePageToUnicode(uint8_t(b));
        EXPECT_EQ(UnicodeToCodePage(u), uint8_t(b)) << "byte " << b;
    }
    const struct {
        char32_t unicode;
        int byte; // -1: no code in the page
    } cases[] = {
        {U'A', 0x41},    {U'\x1B', 0x1B}, {U'\x7F', 0x7F}, {U'é', 0xE9},   {U'ÿ', 0xFF},
        {U'€', 0x80},    {U'‚', 0x82},    {U'Ÿ', 0x9F},    {U'\x81', 0x81}, {U'\xA0', 0xA0},
        {U'ł', -1},      {U'Ω', -1},      {U'\x80', -1},   {U'\x9F', -1},   {U'😀', -1},
    };
    for (const auto &c : cases) {
        const std::optional<uint8_t> byte = UnicodeToCodePage(c.unicode);
        EXPECT_EQ(byte ? int(*byte) : -1, c.byte) << "U+" << std::hex << uint32_t(c.unicode);
    }
}

TEST(CodePage, TextConvertsAndCharactersWithoutACodeAreLeftOut)
{
    bool complete = false;
    EXPECT_EQ(Utf8ToCodePage("Café €", &complete), "Caf\xE9 \x80");
    EXPECT_TRUE(complete);
    EXPECT_EQ(Utf8ToCodePage("łódź 😀!", &complete), "\xF3\x64 !") << "ł, ź and the emoji have no code";
    EXPECT_FALSE(complete);
    EXPECT_EQ(Utf16ToCodePage(u"a\xD83D", &complete), "a") << "a lone surrogate";
    EXPECT_FALSE(complete);
    EXPECT_EQ(CodePageToUtf8("Caf\xE9 \x80"), "Café €");
    EXPECT_EQ(Utf8ToCodePage("\xE9t\xE9", &complete), "\xE9t\xE9") << "not UTF-8: already 8-bit";
    EXPECT_TRUE(complete);
}
