// The command buttons: line count, line test text, captions, and what a click
// writes, echoes and waits for, logged in order by one recorder.
#include "app/CommandButtons.h"
#include "serial/SerialLink.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Log = std::vector<std::string>; // "write:<bytes>", "echo:<text>", "sleep:<ms>"

struct Recorder : SerialLink, EchoSink, Sleeper {
    Log log;
    bool failWrites = false;
    int32_t BytesWaiting() override { return 0; }
    int32_t ReadByte() override { return -1; }
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; }
    void SetRtsHandshake(bool) override {}
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        log.push_back("write:" + std::string(reinterpret_cast<const char *>(bytes), count));
        return failWrites ? -1 : static_cast<int32_t>(count);
    }
    void EchoToTerminal(std::string_view text) override { log.push_back("echo:" + std::string(text)); }
    void SleepMs(uint32_t ms) override { log.push_back("sleep:" + std::to_string(ms)); }
};

Log Click(int n, const Settings &s, bool binary = false, bool failWrites = false)
{
    Recorder r;
    r.failWrites = failWrites;
    SendCommandButton(n, s, binary, r, r, r);
    return r.log;
}
} // namespace

TEST(LineTestText, ThirtyByteLinesWithRunningTotal)
{
    const std::string text = *BuildLineTestText(20000);
    ASSERT_EQ(text.size(), 600000u);
    EXPECT_EQ(text.substr(0, 60), "Line 1    0000030 Bytes sent\r\nLine 2    0000060 Bytes sent\r\n");
    EXPECT_EQ(text.substr(9999 * 30, 30), "Line 100000300000 Bytes sent\r\n");
    EXPECT_EQ(text.substr(text.size() - 30), "Line 200000600000 Bytes sent\r\n");
    EXPECT_EQ(*BuildLineTestText(1), "Line 1    0000030 Bytes sent\r\n");
    EXPECT_EQ(*BuildLineTestText(0), "");
    EXPECT_EQ(*BuildLineTestText(-1), "");
}

TEST(Captions, FromSettingsOrTestMessages)
{
    Settings s;
    EXPECT_EQ(CommandCaptions(s, true), (std::array<std::string, 10>{
        "HCI Reset", "Read Addr", "Inq Scan", "ESD Msg1", "ESD Msg2", "Find AP", "FATS 4b", "", "", ""}));
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
    const struct { const char *name; int n; std::string text; uint32_t crLf; Log log; } cases[] = {
        {"default CMD1", 1, Settings{}.sendCmd[0], 1, {"echo:" + cmd1, "write:" + cmd1}},
        {"quotes, backslashes, 8-bit", 7, "a\"b\\n\xE9\xFF", 1, {"echo:a\"b\\n\xE9\xFF\r\n", "write:a\"b\\n\xE9\xFF\r\n"}},
        {"255 characters", 2, x255, 1, {"echo:" + x255 + "\r\n", "write:" + x255 + "\r\n"}},
        {"without CR LF", 9, "at+ab reset", 0, {"echo:at+ab reset", "write:at+ab reset"}},
        {"empty with CR LF", 3, "", 1, {"echo:\r\n", "write:\r\n"}},
        {"empty without CR LF", 3, "", 0, {}},
        {"line count 0", 10, "0", 0, {}},
        {"line count -1", 10, "-1", 0, {}},
        {"line count not a number", 10, "abc", 0, {}},
    };
    for (const auto &c : cases) {
        Settings s;
        s.sendCmd[c.n - 1] = c.text;
        s.sendCrLf[c.n - 1] = c.crLf;
        EXPECT_EQ(Click(c.n, s), c.log) << c.name;
    }
    const std::string lines = *BuildLineTestText(100);
    EXPECT_EQ(Click(10, Settings{}), (Log{"echo:" + lines, "write:" + lines})) << "default CMD10";
}

TEST(LineTest, GoesInBlocksWithAPauseAfterEachOnlyWhenContinuousIsOffAndTheBlocksUsable)
{
    Settings s;
    s.sendContinuous = 0;
    s.sendBlockSize = 256;
    s.sendMsPause = 100;
    const std::string lines = *BuildLineTestText(100);
    Log expected = {"echo:" + lines};
    for (size_t at = 0; at < 3000; at += 256) // eleven blocks of 256, one of 184
        expected.insert(expected.end(), {"write:" + lines.substr(at, 256), "sleep:100"});
    EXPECT_EQ(Click(10, s), expected);
    EXPECT_EQ(Click(10, s, false, true), expected) << "a failed write keeps the blocks and pauses";

    const struct { const char *name; uint32_t continuous; int32_t blockSize, pause; size_t entries; } cases[] = {
        {"continuous", 1, 256, 100, 2}, {"block size 0", 0, 0, 100, 2},
        {"negative pause", 0, 256, -1, 2}, {"pause 0", 0, 1000, 0, 7},
        {"block larger than the text", 0, 65536, 10, 3}};
    for (const auto &c : cases) {
        s.sendContinuous = c.continuous;
        s.sendBlockSize = c.blockSize;
        s.sendMsPause = c.pause;
        EXPECT_EQ(Click(10, s).size(), c.entries) << c.name;
    }
}

TEST(TestSequence, BinaryModeWritesEachMessageOnceThenEchoes)
{
    const struct { int n; std::string bytes; const char *echo; } cases[] = {
        {1, {"\x01\x03\x0C\x00", 4}, "HCI RESET\r\n"},
        {2, {"\x01\x09\x10\x00", 4}, "Read Addr\r\n"},
        {3, "\x01\x01\x04\x05\x33\x8B\x9E\x06\x10", "Inq Scan\n"},
        {4, {"\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCD\x09\x80\xF0\xFF\x4A\x02", 19}, "ESD Msg1\r\n"},
        {5, {"\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCDTesting...", 23}, "ESD Msg2\r\n"},
        {6, {"\xCD\x07\xAB\xCD\xFD\x00\x00", 7}, "Find Access Point\r\n"},
        {7, "\xD1\x07\x11", "FATS 4-byte command\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Click(c.n, Settings{}, true), (Log{"write:" + c.bytes, std::string("echo:") + c.echo}))
            << "CMD" << c.n;
    for (const int n : {8, 9, 10})
        EXPECT_TRUE(Click(n, Settings{}, true).empty()) << "CMD" << n;
}
