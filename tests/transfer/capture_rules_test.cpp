// Capture's rules: the button, the speed field and the messages, over a file
// and a clock made of data.
#include "capture_fakes.h"

#include <gtest/gtest.h>

namespace {

// Takes `room` bytes, then fails every write, flush and close.
struct FakeFile : CaptureFile {
    bool opens = true, isOpen = false, failed = false;
    uint64_t room = UINT64_MAX;
    std::string contents;

    bool Open() override
    {
        contents.clear();
        failed = false;
        return isOpen = opens;
    }
    bool Write(const uint8_t *bytes, uint32_t count) override
    {
        const uint64_t fits = std::min<uint64_t>(count, room - contents.size());
        contents.append(reinterpret_cast<const char *>(bytes), fits);
        failed = failed || fits < count;
        return !failed;
    }
    bool Flush() override { return !failed; }
    bool Close() override
    {
        isOpen = false;
        return !failed;
    }
    uint64_t BytesSaved() const override { return contents.size(); }
    std::string Path() const override { return "/home/user/verrin.dat"; }
    std::string ErrorText() const override { return "No space left on device"; }
};

class CaptureRules : public ::testing::Test {
protected:
    void Chunk(uint32_t count, char fill = 'x')
    {
        const std::string bytes(count, fill);
        capture.CaptureChunk(reinterpret_cast<const uint8_t *>(bytes.data()), count);
    }
    void ExpectStoppedControls()
    {
        EXPECT_FALSE(capture.IsOn());
        EXPECT_FALSE(file.isOpen);
        EXPECT_EQ(capture.Count(), 0u);
        EXPECT_EQ(display.caption, "Start Capture");
        EXPECT_EQ(display.speed, "0");
        EXPECT_FALSE(display.speedEnabled);
    }

    FakeFile file;
    FakeClock clock;
    RecordingDisplay display;
    RecordingMessages messages;
    Capture capture{file, clock, display, messages};
};

TEST_F(CaptureRules, ButtonStartsAndStops)
{
    // Chunks read while the start message is up are not captured yet.
    messages.whileShown = [this] { Chunk(100, 'a'); };
    capture.ToggleCapture();
    messages.whileShown = nullptr;
    EXPECT_TRUE(capture.IsOn());
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"Capture Started!!(Saved in /home/user/verrin.dat)"});
    EXPECT_EQ(display.caption, "Stop Capture");
    EXPECT_TRUE(display.speedEnabled);

    Chunk(6000, 'b');
    capture.ToggleCapture();
    ExpectStoppedControls();
    EXPECT_EQ(messages.texts.size(), 1u) << "a clean stop says nothing";
    Chunk(10);
    EXPECT_EQ(file.contents, std::string(6000, 'b'));
}

TEST_F(CaptureRules, FileThatCannotBeOpenedLeavesCaptureOff)
{
    file.opens = false;
    capture.ToggleCapture();
    EXPECT_EQ(messages.texts, std::vector<std::string>{"files opened error!"});
    ExpectStoppedControls();
}

TEST_F(CaptureRules, SpeedFieldShowsTheAverageRate)
{
    struct Step {
        uint32_t bytes;
        uint32_t tick;
        const char *speed; // the field's text after the chunk
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
    } cases[] = {
        {"nothing until more than 5000 bytes",
         {{3000, 1000, "0"}, {2000, 1500, "0"}, {1, 2000, "5001 B/s"}}},
        {"timed from the first chunk", {{3000, 1000, "0"}, {3000, 1500, "12000 B/s"}}},
        {"quotient cut to a whole number", {{5001, 100, "0"}, {1, 103, "1667333 B/s"}}},
        {"no rate before a millisecond has passed",
         {{6000, 1000, "0"}, {6000, 1000, "0"}, {1, 1001, "12001000 B/s"}}},
        {"product wider than 32 bits, tick 0", {{1, 0, "0"}, {4999999, 1000, "5000000 B/s"}}},
        {"tick count wraps", {{3000, 0xFFFFFF00u, "0"}, {3000, 0x00000100u, "11718 B/s"}}},
    };
    for (const Case &c : cases) {
        capture.ToggleCapture(); // each capture times its own data
        for (const Step &step : c.steps) {
            clock.now = step.tick;
            Chunk(step.bytes);
            EXPECT_EQ(display.speed, step.speed) << c.name << ", tick " << step.tick;
        }
        capture.ToggleCapture();
    }
}

TEST_F(CaptureRules, FailingFileStopsTheCaptureAndSaysWhatIsSaved)
{
    struct Case {
        const char *name;
        uint64_t room;
        std::function<void()> act;
        uint64_t saved;
    } cases[] = {
        {"write", 5000, [this] { Chunk(4096), Chunk(4096); }, 5000},
        {"flush", 0, [this] { file.failed = true, capture.Flush(); }, 0},
        {"close", 0, [this] { file.failed = true, capture.ToggleCapture(); }, 0},
    };
    for (const Case &c : cases) {
        messages.texts.clear();
        file.room = c.room;
        capture.ToggleCapture();
        bool onWhileTold = true;
        messages.whileShown = [&] { onWhileTold = capture.IsOn(); };
        c.act();
        messages.whileShown = nullptr;

        ExpectStoppedControls();
        EXPECT_FALSE(onWhileTold) << c.name << ": capture is off before the user is told";
        ASSERT_EQ(messages.texts.size(), 2u) << c.name;
        EXPECT_EQ(messages.texts[1], "Capture stopped: No space left on device (" +
                                         std::to_string(c.saved) +
                                         " bytes saved in /home/user/verrin.dat)")
            << c.name;
    }
}

TEST(CaptureLifetime, EndingTheWindowClosesARunningCapture)
{
    FakeFile file;
    FakeClock clock;
    RecordingDisplay display;
    RecordingMessages messages;
    Capture(file, clock, display, messages).ToggleCapture();
    EXPECT_FALSE(file.isOpen);
}

} // namespace
