// The instance store's region: the codes of its failures, as LastError gives
// them. fuzz_store_region checks every operation on any bytes against a model
// of the records and of every byte of the region (its layout, shared by every
// running instance).

#include "instance/BufferStore.h"

#include <gtest/gtest.h>

TEST(StoreRegion, FailuresGiveTheirCodes)
{
    BufferStore store;
    struct Case {
        std::string name;
        uint32_t size, code; // code 0: added
    } cases[] = {
        {std::string(39, 'n'), 4, 0}, {std::string(40, 'n'), 4, 1743}, {"A", 4, 0}, {"a", 4, 0}, {"\xFF", 4, 0},
        {"Z", 0, 24}, // no data
        {"Big", 1024, 14}, // more than the region holds
    };
    for (const Case &c : cases) {
        EXPECT_EQ(store.AddValue(c.name, c.size, c.size > 4 ? nullptr : "data"), c.code == 0) << c.name;
        EXPECT_TRUE(c.code == 0 || store.LastError() == c.code) << c.name << ": " << store.LastError();
    }
}
