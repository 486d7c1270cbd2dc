// The command buttons: line count, captions, what a click writes and echoes,
// and the line test made and fed in pieces. In binary mode each sends a test
// message of its own (the end-to-end test sends one).
#include "app/CommandButtons.h"
#include "app/LineTest.h"
#include "serial/SerialLink.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// The port and the terminal: what a click wrote and what it echoed.
struct Recorder : SerialLink, EchoSink {
    std::string written, echoed;
    int32_t BytesWaiting() override { return 0; }
    int32_t ReadByte() override { return -1; }
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; }
    void SetRtsHandshake(bool) override {}
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        written.append(reinterpret_cast<const char *>(bytes), count);
        return static_cast<int32_t>(count);
    }
    void EchoToTerminal(std::string_view text) override { echoed += text; }
};

// A line of the line test written out the plain way, with stream formatting.
std::string ReferenceLine(int64_t i)
{
    std::ostringstream line;
    line << "Line " << std::left << std::setw(5) << i << std::right << std::setfill('0') << std::setw(7)
         << i * 30 << " Bytes sent\r\n";
    return line.str();
}
} // namespace

// A click writes the whole text, CR LF added when asked, and echoes the same
// (the end-to-end tests send the default CMD1 and 8-bit text). CMD10's
// caption names its line count, whatever the text holds.
TEST(CommandButton, WritesAndEchoesTheWholeTextAndCmd10NamesItsLineCount)
{
    const std::string x255(255, 'x');
    using R = CommandSend;
    const struct { const char *name; int n; std::string text; uint32_t crLf; std::string sends; R result = R::Sent; } cases[] = {
        {"255 characters", 2, x255, 1, x255 + "\r\n"},
        {"without CR LF", 9, "at+ab reset", 0, "at+ab reset"},
        {"empty with CR LF", 3, "", 1, "\r\n"},
        {"empty without CR LF", 3, "", 0, "", R::Nothing},
        {"Send 0 lines", 10, "0", 0, "", R::Nothing},
        {"Send 0 lines", 10, "abc", 0, "", R::Nothing},
        {"Send -1 lines", 10, "-1", 0, "", R::Nothing},
        {"Send 1 line", 10, "1", 0, "", R::LineTest}, // the line test is fed by the window
        {"Send 50000000 lines", 10, "50000000", 0, "", R::LineTest},
    };
    for (const auto &c : cases) {
        Settings s;
        s.sendCmd[c.n - 1] = c.text;
        s.sendCrLf[c.n - 1] = c.crLf;
        Recorder r;
        EXPECT_EQ(SendCommandButton(c.n, s, false, r, r), c.result) << c.name;
        EXPECT_TRUE(c.n < 10 || CommandCaptions(s, false)[9] == c.name) << CommandCaptions(s, false)[9];
        EXPECT_TRUE(r.written == c.sends && r.echoed == c.sends) << c.name << ": wrote " << r.written.size()
                                                                  << ", echoed " << r.echoed.size() << " bytes";
    }
}

// The lines match their format wherever a write ends, around the places where
// the fields widen too (line 100000; the total passing seven digits at line
// 333334). Blocks of the block size with a pause after each, the last too,
// whatever room the port has; otherwise one stream. No write is larger than
// the room.
TEST(LineTestFeed, GoesLineForLineInBlocksWithAPauseAfterEachOnlyWhenContinuousIsOffAndTheBlocksUsable)
{
    EXPECT_EQ(ReferenceLine(1), "Line 1    0000030 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(99999), "Line 999992999970 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(100000), "Line 1000003000000 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(333334), "Line 33333410000020 Bytes sent\r\n");
    const struct { const char *name; int32_t count; uint32_t continuous; int32_t blockSize, pause; size_t room;
                   bool inBlocks; } cases[] = {
        {"100 lines: eleven blocks of 256 and one of 184", 100, 0, 256, 100, 4096, true},
        {"blocks split by a small room", 2, 0, 40, 5, 16, true},
        {"the text ends on a block's end", 2, 0, 30, 0, 4096, true},
        {"block larger than the text", 3, 0, 65536, 10, 4096, true},
        {"continuous", 100, 1, 256, 100, 1000, false},
        {"no lines", 0, 1, 256, 100, 7, false},
        {"a negative count", -5, 1, 256, 100, 7, false},
        {"one line, a byte at a time", 1, 1, 256, 100, 1, false},
        {"past line 100000, in pieces of 4093", 100001, 1, 256, 100, 4093, false},
        {"past line 100000, in pieces of 30", 100001, 1, 256, 100, 30, false},
        {"past seven digits of total, in pieces of 31", 333335, 1, 256, 100, 31, false},
        {"block size 0", 3, 0, 0, 100, 4096, false},
        {"negative pause", 3, 0, 256, -1, 4096, false},
    };
    for (const auto &c : cases) {
        Settings s;
        s.sendContinuous = c.continuous;
        s.sendBlockSize = c.blockSize;
        s.sendMsPause = c.pause;
        LineTestFeed feed(c.count, PlanLineTest(s));
        std::string expected;
        for (int64_t i = 1; i <= c.count; ++i)
            expected += ReferenceLine(i);
        std::string bytes;
        std::vector<size_t> blocks, expectedBlocks; // the bytes before each pause
        size_t sincePause = 0;
        for (LineTestFeed::Step step = feed.Next(0, c.room); step.action != LineTestFeed::Action::Done;
             step = feed.Next(0, c.room)) {
            if (step.action == LineTestFeed::Action::Pause) {
                EXPECT_EQ(step.pauseMs, uint32_t(c.pause)) << c.name;
                blocks.push_back(std::exchange(sincePause, 0));
            }
            EXPECT_LE(step.bytes.size(), c.room) << c.name;
            bytes += step.bytes;
            sincePause += step.bytes.size();
        }
        for (size_t at = 0; c.inBlocks && at < expected.size(); at += size_t(c.blockSize))
            expectedBlocks.push_back(std::min(size_t(c.blockSize), expected.size() - at));
        EXPECT_TRUE(bytes == expected) << c.name << ": " << bytes.size() << " bytes written of " << expected.size();
        EXPECT_EQ(blocks, expectedBlocks) << c.name;
    }
}
