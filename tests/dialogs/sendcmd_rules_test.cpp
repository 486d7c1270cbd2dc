// What the "Send Command" dialog lets through at OK.
#include "dialogs/SendCmdRules.h"

#include <gtest/gtest.h>

#include <string>

TEST(SendCmdOk, RefusesTheFirstBadBoxInOrder)
{
    const struct {
        const char *lineCount, *blockSize, *pause;
        SendCmdBox bad;
        std::string message;
    } cases[] = {
        {"20000", "256", "100", SendCmdBox::None, ""},
        {"", "256", "100", SendCmdBox::None, ""},
        {"-1", "256", "100", SendCmdBox::LineCount, kTooManyLinesMessage},
        // the line count is judged before the block boxes
        {"20001", "0", "x", SendCmdBox::LineCount, kTooManyLinesMessage},
        {"1", "1", "0", SendCmdBox::None, ""},
        {"1", "65536", "4294967295", SendCmdBox::None, ""},
        {"1", " 512 ", "\t7", SendCmdBox::None, ""},
        {"1", "65537", "100", SendCmdBox::BlockSize, kBlockSizeRangeMessage},
        {"1", "99999999999", "100", SendCmdBox::BlockSize, kBlockSizeRangeMessage},
        {"1", "", "100", SendCmdBox::BlockSize, kUnsignedMessage},
        {"1", "-1", "100", SendCmdBox::BlockSize, kUnsignedMessage},
        {"1", "0x10", "100", SendCmdBox::BlockSize, kUnsignedMessage},
        // bytes per block is judged before the pause
        {"1", "0", "x", SendCmdBox::BlockSize, kBlockSizeRangeMessage},
        {"1", "256", "", SendCmdBox::Pause, kUnsignedMessage},
        {"1", "256", "1.5", SendCmdBox::Pause, kUnsignedMessage},
        {"1", "256", "4294967296", SendCmdBox::Pause, kUnsignedMessage},
    };
    for (const auto &c : cases) {
        const SendCmdCheck check = CheckSendCmdOk(c.lineCount, c.blockSize, c.pause);
        EXPECT_TRUE(check.bad == c.bad && check.message == c.message)
            << "lines '" << c.lineCount << "' block '" << c.blockSize << "' pause '" << c.pause << "': " << check.message;
    }
    EXPECT_EQ(CheckSendCmdOk("1", " 512 ", "4294967295").pauseMs, 4294967295u) << "the largest pause, read whole";
}
