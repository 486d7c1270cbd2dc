// Capture's rules: the button, the speed field and the messages, over a file
// and a clock made of data.
#include "capture_fakes.h"

#include <gtest/gtest.h>

namespace {

struct FakeFile : CaptureFile {
    bool opens = true;
    bool isOpen = false;
    int opened = 0;
    // Bytes accepted before writes start to fail; Flush and Close fail once
    // a write has.
    uint64_t room = UINT64_MAX;
    bool failed = false;
    std::string contents;

    bool Open() override
    {
        ++opened;
        if (!opens)
            return false;
        isOpen = true;
        failed = false;
        contents.clear();
        return true;
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

    FakeFile file;
    FakeClock clock;
    RecordingDisplay display;
    RecordingMessages messages;
    Capture capture{file, clock, display, messages};
};

TEST_F(CaptureRules, ButtonStartsAndStops)
{
    capture.ToggleCapture();
    EXPECT_TRUE(capture.IsOn());
    EXPECT_TRUE(file.isOpen);
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"Capture Started!!(Saved in /home/user/verrin.dat)"});
    EXPECT_EQ(display.caption, "Stop Capture");
    EXPECT_TRUE(display.speedEnabled);

    Chunk(6000);
    capture.ToggleCapture();
    EXPECT_FALSE(capture.IsOn());
    EXPECT_FALSE(file.isOpen);
    EXPECT_EQ(capture.Count(), 0u);
    EXPECT_EQ(display.caption, "Start Capture");
    EXPECT_EQ(display.speed, "0");
    EXPECT_FALSE(display.speedEnabled);
    EXPECT_EQ(messages.texts.size(), 1u) << "a clean stop says nothing";

    Chunk(10);
    EXPECT_EQ(file.contents.size(), 6000u) << "nothing is written while capture is off";
}

TEST_F(CaptureRules, FileThatCannotBeOpenedLeavesCaptureOff)
{
    file.opens = false;
    capture.ToggleCapture();
    EXPECT_FALSE(capture.IsOn());
    EXPECT_EQ(messages.texts, std::vector<std::string>{"files opened error!"});
    EXPECT_EQ(display.caption, "Start Capture");
    EXPECT_FALSE(display.speedEnabled);
}

TEST_F(CaptureRules, ChunksReadWhileTheStartMessageIsUpAreNotCaptured)
{
    messages.whileShown = [this] { Chunk(100, 'a'); };
    capture.ToggleCapture();
    messages.whileShown = nullptr;
    Chunk(3, 'b');
    EXPECT_EQ(file.contents, "bbb");
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
        {"rate from the first chunk's time", {{3000, 1000, "0"}, {3000, 1500, "12000 B/s"}}},
        {"quotient cut to a whole number", {{5001, 100, "0"}, {1, 103, "1667333 B/s"}}},
        {"no rate while no time has passed",
         {{6000, 1000, "0"}, {6000, 1000, "0"}, {1, 1001, "12001000 B/s"}}},
        {"product wider than 32 bits", {{1, 0, "0"}, {4999999, 1000, "5000000 B/s"}}},
        {"tick count wraps", {{3000, 0xFFFFFF00u, "0"}, {3000, 0x00000100u, "11718 B/s"}}},
    };
    for (const Case &c : cases) {
        capture.ToggleCapture(); // start
        for (const Step &step : c.steps) {
            clock.now = step.tick;
            Chunk(step.bytes);
            EXPECT_EQ(display.speed, step.speed) << c.name << ", tick " << step.tick;
        }
        capture.ToggleCapture(); // stop
    }
}

TEST_F(CaptureRules, EachCaptureTimesItsOwnData)
{
    capture.ToggleCapture();
    clock.now = 1000;
    Chunk(3000);
    clock.now = 2000;
    Chunk(3000);
    EXPECT_EQ(display.speed, "6000 B/s");
    capture.ToggleCapture();

    capture.ToggleCapture();
    EXPECT_EQ(file.contents, "") << "a new capture empties the file";
    clock.now = 50000;
    Chunk(3000);
    clock.now = 50100;
    Chunk(3000);
    EXPECT_EQ(display.speed, "60000 B/s");
    EXPECT_EQ(file.opened, 2);
}

TEST_F(CaptureRules, FailedWriteStopsTheCaptureAndSaysWhatIsSaved)
{
    file.room = 5000;
    capture.ToggleCapture();
    Chunk(4096);
    bool onWhileMessageShown = true;
    messages.whileShown = [&] { onWhileMessageShown = capture.IsOn(); };
    Chunk(4096);

    EXPECT_FALSE(capture.IsOn());
    EXPECT_FALSE(onWhileMessageShown) << "capture is off before the user is told";
    EXPECT_FALSE(file.isOpen);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(messages.texts[1],
              "Capture stopped: No space left on device (5000 bytes saved in /home/user/verrin.dat)");
    EXPECT_EQ(display.caption, "Start Capture");
    EXPECT_EQ(display.speed, "0");
    EXPECT_FALSE(display.speedEnabled);
    EXPECT_EQ(capture.Count(), 0u);
}

TEST_F(CaptureRules, FailedFlushOrCloseIsReportedToo)
{
    struct Case {
        const char *name;
        std::function<void(Capture &)> end;
    } cases[] = {
        {"flush", [](Capture &c) { c.Flush(); }},
        {"stop", [](Capture &c) { c.ToggleCapture(); }},
    };
    for (const Case &c : cases) {
        messages.texts.clear();
        capture.ToggleCapture();
        file.failed = true; // the disk filled while bytes were held in memory
        c.end(capture);
        EXPECT_FALSE(capture.IsOn()) << c.name;
        ASSERT_EQ(messages.texts.size(), 2u) << c.name;
        EXPECT_EQ(messages.texts[1].rfind("Capture stopped: ", 0), 0u) << c.name;
    }
}

TEST(CaptureLifetime, EndingTheWindowClosesARunningCapture)
{
    FakeFile file;
    FakeClock clock;
    RecordingDisplay display;
    RecordingMessages messages;
    {
        Capture capture(file, clock, display, messages);
        capture.ToggleCapture();
    }
    EXPECT_FALSE(file.isOpen);
}

} // namespace
