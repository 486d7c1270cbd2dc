// What the "Send Command" dialog lets through at OK.
#include "dialogs/SendCmdRules.h"

#include <gtest/gtest.h>

#include <string>

TEST(SendCmdOk, RefusesTheFirstBadBoxInOrder)
{
    const std::string lines = kTooManyLinesMessage, range = kBlockSizeRangeMessage,
                      notUnsigned = kUnsignedMessage;
    const struct {
        const char *lineCount, *blockSize, *pause;
        SendCmdBox bad;
        std::string message;
    } cases[] = {
        {"100", "256", "100", SendCmdBox::None, ""},
        {"20000", "256", "100", SendCmdBox::None, ""},
        {"", "256", "100", SendCmdBox::None, ""},
        {"20001", "256", "100", SendCmdBox::LineCount, lines},
        {"-1", "256", "100", SendCmdBox::LineCount, lines},
        // the line count is judged before the block boxes
        {"20001", "0", "x", SendCmdBox::LineCount, lines},
        {"1", "1", "0", SendCmdBox::None, ""},
        {"1", "65536", "4294967295", SendCmdBox::None, ""},
        {"1", " 512 ", "\t7", SendCmdBox::None, ""},
        {"1", "0", "100", SendCmdBox::BlockSize, range},
        {"1", "65537", "100", SendCmdBox::BlockSize, range},
        {"1", "99999999999", "100", SendCmdBox::BlockSize, range},
        {"1", "", "100", SendCmdBox::BlockSize, notUnsigned},
        {"1", "-1", "100", SendCmdBox::BlockSize, notUnsigned},
        {"1", "0x10", "100", SendCmdBox::BlockSize, notUnsigned},
        // bytes per block is judged before the pause
        {"1", "0", "x", SendCmdBox::BlockSize, range},
        {"1", "256", "", SendCmdBox::Pause, notUnsigned},
        {"1", "256", "1.5", SendCmdBox::Pause, notUnsigned},
        {"1", "256", "4294967296", SendCmdBox::Pause, notUnsigned},
    };
    for (const auto &c : cases) {
        const SendCmdCheck check = CheckSendCmdOk(c.lineCount, c.blockSize, c.pause);
        const std::string name = std::string("lines \"") + c.lineCount + "\", block \"" +
                                 c.blockSize + "\", pause \"" + c.pause + "\"";
        EXPECT_EQ(check.bad, c.bad) << name;
        EXPECT_EQ(check.message, c.message) << name;
    }
    const SendCmdCheck ok = CheckSendCmdOk("100", "65536", "4294967295");
    EXPECT_EQ(ok.blockSize, 65536u);
    EXPECT_EQ(ok.pauseMs, 4294967295u);
}
