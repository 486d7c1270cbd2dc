// The instance store's region: its layout, the error codes of its
// operations, and regions whose bytes are damaged.

#include "instance/BufferStore.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint32_t kNoValue = 0xFFFFFFFF;

uint32_t Load32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(StoreRegion, HeaderAndRecordsAreLaidOutLittleEndianWithoutPadding)
{
    BufferStore store;
    EXPECT_EQ(Load32(store.bytes, 0), 0u);
    EXPECT_EQ(Load32(store.bytes, 4), 1024u);

    ASSERT_TRUE(store.AddDwordValue("AB", 0x12345678));
    const std::vector<uint8_t> &b = store.bytes;
    EXPECT_EQ(Load32(b, 0), 1u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 8, b.begin() + 12), (std::vector<uint8_t>{'A', 0, 'B', 0}));
    EXPECT_TRUE(std::all_of(b.begin() + 12, b.begin() + 88, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(Load32(b, 88), 4u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 92, b.begin() + 96), (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_TRUE(std::all_of(b.begin() + 96, b.end(), [](uint8_t x) { return x == 0; }));
}

TEST(StoreRegion, EightDwordsTake712BytesAndARecordThatDoesNotFitFailsWith14)
{
    BufferStore store;
    for (const char *name : {"A", "B", "C", "D", "E", "F", "G", "H"})
        ASSERT_TRUE(store.AddDwordValue(name, 0));
    EXPECT_EQ(store.bytes[8 + 7 * 88], 'H');
    EXPECT_EQ(Load32(store.bytes, 8 + 7 * 88 + 80), 4u);
    EXPECT_TRUE(std::all_of(store.bytes.begin() + 712, store.bytes.end(), [](uint8_t x) { return x == 0; }));

    const uint32_t room = 1024 - 712 - 84;
    EXPECT_FALSE(store.AddValue("Big", room + 1, nullptr));
    EXPECT_EQ(store.LastError(), 14u);
    EXPECT_TRUE(store.AddValue("Big", room, nullptr));
    EXPECT_FALSE(store.AddValue("One", 1, "x"));
    EXPECT_EQ(store.LastError(), 14u);
}

TEST(StoreRegion, OperationsFailWithTheStoresCodes)
{
    BufferStore store;
    ASSERT_TRUE(store.AddDwordValue("A", 7));
    ASSERT_TRUE(store.AddValue("Wide", 8, "12345678"));
    ASSERT_TRUE(store.AddValue("Three", 3, "\x01\x02\x03"));
    const std::string name39(39, 'n'), name40(40, 'n');

    struct Case {
        const char *what;
        std::function<bool()> operation;
        uint32_t code; // 0: succeeds
    } cases[] = {
        {"39-character name", [&] { return store.AddDwordValue(name39, 1); }, 0},
        {"40-character name", [&] { return store.AddDwordValue(name40, 1); }, 1743},
        {"name already there", [&] { return store.AddDwordValue("A", 99); }, 183},
        {"names differ in case", [&] { return store.AddDwordValue("a", 1); }, 0},
        {"add of size 0", [&] { return store.AddValue("Z", 0, "x"); }, 24},
        {"set of size 0", [&] { return store.SetValue("A", "x", 0); }, 24},
        {"set of an unknown name", [&] { return store.SetDwordValue("Q", 1); }, 2},
        {"get of an unknown name", [&] { return store.GetDwordValue("Q", kNoValue) != kNoValue; }, 2},
        {"get of a value wider than 4 bytes", [&] { return store.GetDwordValue("Wide", kNoValue) != kNoValue; }, 122},
        {"set of 8 bytes into 4", [&] { return store.SetValue("A", "12345678", 8); }, 8},
        {"name that is not text", [&] { return store.AddDwordValue("\xFF", 1); }, 1113},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.operation(), c.code == 0) << c.what;
        if (c.code != 0) {
            EXPECT_EQ(store.LastError(), c.code) << c.what;
        }
    }
    EXPECT_EQ(store.GetDwordValue("A", kNoValue), 7u) << "failed add and set leave the value";
    EXPECT_EQ(store.GetDwordValue("Three", kNoValue), 0x030201u);
    ASSERT_TRUE(store.SetValue("A", "\xEF\xBE", 2));
    EXPECT_EQ(store.GetDwordValue("A", kNoValue), 0xBEEFu) << "the rest of the data is zeroed";
}

TEST(StoreRegion, DamagedRegionsFailWith13AndNothingOutsideThemIsTouched)
{
    const auto put = [](std::vector<uint8_t> &b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    struct Case {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
        size_t span; // bytes handed to the operations
    } cases[] = {
        {"region size 0", [&](auto &b) { put(b, 4, 0); }, 1024},
        {"region size past the end", [&](auto &b) { put(b, 4, 5000); }, 1024},
        {"count past the records", [&](auto &b) { put(b, 0, 1000); }, 1024},
        {"count of 2^32 - 1", [&](auto &b) { put(b, 0, 0xFFFFFFFF); }, 1024},
        {"record size 0", [&](auto &b) { put(b, 8 + 88 + 80, 0); }, 1024},
        {"record size past the end", [&](auto &b) { put(b, 8 + 2 * 88 + 80, 1024 - 184 - 84 + 1); }, 1024},
        {"record size 2^32 - 1", [&](auto &b) { put(b, 8 + 80, 0xFFFFFFFF); }, 1024},
        {"region cut inside a record", [](auto &) {}, 200},
        {"region smaller than its header", [](auto &) {}, 6},
    };
    for (const Case &c : cases) {
        BufferStore store;
        for (const char *name : {"A", "B", "C"})
            ASSERT_TRUE(store.AddDwordValue(name, 1));
        c.damage(store.bytes);
        std::vector<uint8_t> guarded(c.span + 64, 0xAA);
        std::copy_n(store.bytes.begin(), std::min(c.span, store.bytes.size()), guarded.begin() + 32);
        const std::vector<uint8_t> before = guarded;
        const RegionBytes region{guarded.data() + 32, c.span};

        uint32_t value = 0;
        EXPECT_EQ(AddValue(region, u"Z", "abcd", 4), StoreError::Damaged) << c.what;
        EXPECT_EQ(GetDwordValue(region, u"C", value), StoreError::Damaged) << c.what;
        EXPECT_EQ(SetValue(region, u"C", "abcd", 4), StoreError::Damaged) << c.what;
        EXPECT_EQ(guarded, before) << c.what;
    }
}

} // namespace
