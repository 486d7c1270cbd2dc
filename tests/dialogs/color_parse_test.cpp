// The colour text rule shared by the terminal and the colour preview.
#include "dialogs/ColorText.h"

#include <gtest/gtest.h>

TEST(ParseColor, ReadsRrggbbIntoBbggrr)
{
    const std::pair<const char *, uint32_t> cases[] = {
        {"000000", 0x000000}, {"FFFFFF", 0xFFFFFF}, {"FF0000", 0x0000FF}, {"0000FF", 0xFF0000},
        {"DDDDFF", 0xFFDDDD}, {"ddddff", 0xFFDDDD}, {"ABC", 0xBC0A00},    {"DD", 0xDD0000},
        {"DDDDFG", 0x000000}, {"", 0x000000},       {" FFFFF", 0x000000}, {"12345678", 0x12785634},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(ParseColor(text), value) << '"' << text << '"';
}
