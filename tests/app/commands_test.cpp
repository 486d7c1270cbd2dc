// The command buttons: line count, captions, what a click writes and echoes,
// and the line test made and fed in pieces. In binary mode each sends a test
// message of its own (the end-to-end and main window tests send two).
#include "app/CommandButtons.h"
#include "app/LineTest.h"
#include "serial/SerialLink.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iomanip>
#include <sstream>
#include <vector>

namespace {

using Log = std::vector<std::string>; // "write:<bytes>", "echo:<text>"

struct Recorder : SerialLink, EchoSink {
    Log log;
    int32_t BytesWaiting() override { return 0; }
    int32_t ReadByte() override { return -1; }
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; }
    void SetRtsHandshake(bool) override {}
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        log.push_back("write:" + std::string(reinterpret_cast<const char *>(bytes), count));
        return static_cast<int32_t>(count);
    }
    void EchoToTerminal(std::string_view text) override { log.push_back("echo:" + std::string(text)); }
};

Log Click(int n, const Settings &s, bool binary = false, CommandSend result = CommandSend::Sent)
{
    Recorder r;
    EXPECT_EQ(SendCommandButton(n, s, binary, r, r), result) << "CMD" << n;
    return r.log;
}

// The line test written out the plain way, with stream formatting.
std::string ReferenceLine(int64_t i)
{
    std::ostringstream line;
    line << "Line " << std::left << std::setw(5) << i << std::right << std::setfill('0') << std::setw(7)
         << i * 30 << " Bytes sent\r\n";
    return line.str();
}

uint64_t Fnv(uint64_t hash, std::string_view bytes)
{
    for (const char c : bytes)
        hash = (hash ^ uint8_t(c)) * 0x100000001B3ull;
    return hash;
}

// Feeds a whole line test with the given room per step; returns the bytes
// and the steps as "W<n>", "P<ms>" and "D".
std::pair<std::string, std::string> Feed(int32_t count, LineTestPlan plan, size_t room)
{
    LineTestFeed feed(count, plan);
    std::string bytes, steps;
    for (LineTestFeed::Step step = feed.Take(room);; step = feed.Take(room)) {
        if (step.action == LineTestFeed::Action::Done)
            return {bytes, steps + "D"};
        if (step.action == LineTestFeed::Action::Pause)
            steps += "P" + std::to_string(step.pauseMs) + " ";
        else
            steps += "W" + std::to_string(step.bytes.size()) + " ";
        bytes += step.bytes;
    }
}
} // namespace

// Around the places where the fields widen (line 100000; the total passing
// seven digits at line 333334), read in odd-sized pieces that split lines.
TEST(LineTestText, MatchesTheFormatLineForLineWhereverItIsCut)
{
    EXPECT_EQ(ReferenceLine(1), "Line 1    0000030 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(99999), "Line 999992999970 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(100000), "Line 1000003000000 Bytes sent\r\n");
    EXPECT_EQ(ReferenceLine(333334), "Line 33333410000020 Bytes sent\r\n");
    const struct { int32_t count; size_t piece; } cases[] = {
        {0, 7}, {-5, 7}, {1, 1}, {1, 100}, {99999, 4093}, {100001, 30}, {333335, 65536}, {333335, 31}};
    for (const auto &c : cases) {
        uint64_t expected = 0xCBF29CE484222325ull, size = 0;
        for (int64_t i = 1; i <= c.count; ++i) {
            const std::string line = ReferenceLine(i);
            expected = Fnv(expected, line);
            size += line.size();
        }
        LineTestText text(c.count);
        uint64_t got = 0xCBF29CE484222325ull;
        std::string piece(c.piece, '\0');
        while (const size_t n = text.Read(piece.data(), piece.size()))
            got = Fnv(got, std::string_view(piece).substr(0, n));
        EXPECT_EQ(got, expected) << c.count << " lines read " << c.piece << " bytes at a time";
        EXPECT_EQ(text.Offset(), size) << c.count << " lines";
        EXPECT_TRUE(text.AtEnd()) << c.count << " lines";
    }
}

// CMD10's caption names its line count, whatever the text holds.
TEST(Captions, Cmd10NamesItsLineCount)
{
    Settings s;
    const struct { const char *count, *caption; } cases[] = {
        {"1", "Send 1 line"}, {"", "Send 0 lines"}, {"abc", "Send 0 lines"}, {"-1", "Send -1 lines"}};
    for (const auto &c : cases) {
        s.sendCmd[9] = c.count;
        EXPECT_EQ(CommandCaptions(s, false)[9], c.caption) << "count \"" << c.count << "\"";
    }
}

TEST(CommandButton, WholeTextEchoedThenWrittenInOnePiece)
{
    const std::string cmd1 = "at+ab SendData FFFF \"Hello World\\n\"\r\n";
    const std::string x255(255, 'x');
    using R = CommandSend;
    const struct { const char *name; int n; std::string text; uint32_t crLf; Log log; R result = R::Sent; } cases[] = {
        {"default CMD1", 1, Settings{}.sendCmd[0], 1, {"echo:" + cmd1, "write:" + cmd1}},
        {"quotes, backslashes, 8-bit", 7, "a\"b\\n\xE9\xFF", 1, {"echo:a\"b\\n\xE9\xFF\r\n", "write:a\"b\\n\xE9\xFF\r\n"}},
        {"255 characters", 2, x255, 1, {"echo:" + x255 + "\r\n", "write:" + x255 + "\r\n"}},
        {"without CR LF", 9, "at+ab reset", 0, {"echo:at+ab reset", "write:at+ab reset"}},
        {"empty with CR LF", 3, "", 1, {"echo:\r\n", "write:\r\n"}},
        {"empty without CR LF", 3, "", 0, {}, R::Nothing},
        {"line count 0", 10, "0", 0, {}, R::Nothing},
        {"line count -1", 10, "-1", 0, {}, R::Nothing},
        {"line count not a number", 10, "abc", 0, {}, R::Nothing},
        {"a line test is fed by the window", 10, "50000000", 0, {}, R::LineTest},
    };
    for (const auto &c : cases) {
        Settings s;
        s.sendCmd[c.n - 1] = c.text;
        s.sendCrLf[c.n - 1] = c.crLf;
        EXPECT_EQ(Click(c.n, s, false, c.result), c.log) << c.name;
    }
}

// Blocks of the block size with a pause after each, the last too, whatever
// room the port has; otherwise one stream in pieces no larger than the room.
TEST(LineTestFeed, GoesInBlocksWithAPauseAfterEachOnlyWhenContinuousIsOffAndTheBlocksUsable)
{
    std::string twelve;
    for (int i = 0; i < 11; ++i)
        twelve += "W256 P100 ";
    const struct { const char *name; int32_t count; uint32_t continuous; int32_t blockSize, pause; size_t room;
                   std::string steps; } cases[] = {
        {"100 lines: eleven blocks of 256 and one of 184", 100, 0, 256, 100, 4096, twelve + "W184 P100 D"},
        {"blocks split by a small room", 2, 0, 40, 5, 16, "W16 W16 W8 P5 W16 W4 P5 D"},
        {"the text ends on a block's end", 2, 0, 30, 0, 4096, "W30 P0 W30 P0 D"},
        {"block larger than the text", 3, 0, 65536, 10, 4096, "W90 P10 D"},
        {"continuous", 100, 1, 256, 100, 1000, "W1000 W1000 W1000 D"},
        {"block size 0", 3, 0, 0, 100, 4096, "W90 D"},
        {"negative pause", 3, 0, 256, -1, 4096, "W90 D"},
    };
    for (const auto &c : cases) {
        Settings s;
        s.sendContinuous = c.continuous;
        s.sendBlockSize = c.blockSize;
        s.sendMsPause = c.pause;
        const auto [bytes, steps] = Feed(c.count, PlanLineTest(s), c.room);
        EXPECT_EQ(steps, c.steps) << c.name;
        std::string expected;
        for (int i = 1; i <= c.count; ++i)
            expected += ReferenceLine(i);
        EXPECT_EQ(bytes, expected) << c.name;
    }
}
