// The instance store's region: its layout, shared by every running instance,
// and the codes of failures found before the region is searched.
// (fuzz_store_region checks every operation on any bytes against a model.)

#include "instance/BufferStore.h"

#include <gtest/gtest.h>

namespace {

uint32_t Load32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Count and size, then records of an 80-byte UTF-16LE name, a data size and
// the data: eight profile marks take 712 bytes of the 1024.
TEST(StoreRegion, RecordsAreLaidOutLittleEndianWithoutPaddingUntilTheRegionIsFull)
{
    BufferStore store;
    const std::vector<uint8_t> &b = store.bytes;
    EXPECT_EQ(Load32(b, 4), 1024u);
    ASSERT_TRUE(store.AddDwordValue("AB", 0x12345678));
    EXPECT_EQ(Load32(b, 0), 1u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 8, b.begin() + 12), (std::vector<uint8_t>{'A', 0, 'B', 0}));
    EXPECT_EQ(Load32(b, 88), 4u);
    EXPECT_EQ(Load32(b, 92), 0x12345678u);
    for (const char *name : {"B", "C", "D", "E", "F", "G", "H"})
        ASSERT_TRUE(store.AddDwordValue(name, 0));
    EXPECT_EQ(b[8 + 7 * 88], 'H');
    EXPECT_EQ(Load32(b, 8 + 7 * 88 + 80), 4u);

    const uint32_t room = 1024 - 712 - 84;
    EXPECT_FALSE(store.AddValue("Big", room + 1, nullptr));
    EXPECT_EQ(store.LastError(), 14u);
    EXPECT_TRUE(store.AddValue("Big", room, nullptr));
    EXPECT_FALSE(store.AddValue("One", 1, "x"));
    EXPECT_EQ(store.LastError(), 14u);
}

TEST(StoreRegion, NamesAreUpTo39CharactersOfTextMatchedWithCase)
{
    BufferStore store;
    struct Case {
        std::string name;
        uint32_t code; // 0: added
    } cases[] = {{std::string(39, 'n'), 0}, {std::string(40, 'n'), 1743}, {"A", 0}, {"a", 0}, {"\xFF", 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(store.AddDwordValue(c.name, 1), c.code == 0) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(store.LastError(), c.code) << c.name;
        }
    }
    EXPECT_FALSE(store.AddValue("Z", 0, "x"));
    EXPECT_EQ(store.LastError(), 24u);
}

} // namespace
