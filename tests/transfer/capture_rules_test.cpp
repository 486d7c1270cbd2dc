// Capture's rules: the button, the speed field and the messages. The test
// plays the capture file, the clock, the main window's controls and its
// message boxes.
#include "transfer/Capture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct CaptureRules : ::testing::Test, CaptureFile, TickClock, CaptureDisplay, UserMessages {
protected:
    // The file takes `room` bytes, then fails every write, flush and close.
    bool Open() override
    {
        saved.clear();
        failed = false;
        return isOpen = opens;
    }
    bool Write(const uint8_t *bytes, uint32_t count) override
    {
        const uint64_t fits = std::min<uint64_t>(count, room - saved.size());
        saved.append(reinterpret_cast<const char *>(bytes), fits);
        return !(failed = failed || fits < count);
    }
    bool Flush() override { return !failed; }
    bool Close() override
    {
        isOpen = false;
        return !failed;
    }
    uint64_t BytesSaved() const override { return saved.size(); }
    std::string Path() const override { return "/home/user/verrin.dat"; }
    std::string ErrorText() const override { return "No space left on device"; }
    uint32_t TickCount() override { return now; }
    void SetCaptureCaption(const std::string &text) override { caption = text; }
    void SetSpeedText(const std::string &text) override { speed = text; }
    void EnableSpeed(bool enabled) override { speedEnabled = enabled; }
    void Show(const std::string &text, const std::string &boxCaption, MessageIcon) override
    {
        texts.push_back(boxCaption.empty() ? text : boxCaption + ": " + text);
        if (whileShown)
            whileShown(); // the box's loop keeps the port read
    }

    void Chunk(uint32_t count, char fill = 'x')
    {
        const std::string bytes(count, fill);
        capture.CaptureChunk(reinterpret_cast<const uint8_t *>(bytes.data()), count);
    }
    std::string Controls() const
    {
        return caption + ", speed " + speed + (speedEnabled ? "" : " (disabled)") + (isOpen ? ", file open" : "");
    }

    bool opens = true, isOpen = false, failed = false, speedEnabled = false;
    uint64_t room = UINT64_MAX;
    uint32_t now = 1000;
    std::string saved, caption = "Start Capture", speed = "0";
    std::vector<std::string> texts;
    std::function<void()> whileShown;
    Capture capture{*this, *this, *this, *this};
};

TEST_F(CaptureRules, ButtonStartsAndStops)
{
    opens = false;
    capture.ToggleCapture();
    EXPECT_EQ(texts, std::vector<std::string>{"files opened error!"});
    EXPECT_EQ(Controls(), "Start Capture, speed 0 (disabled)");

    // Chunks read while the start message is up are not captured yet.
    opens = true;
    whileShown = [this] { Chunk(100, 'a'); };
    capture.ToggleCapture();
    whileShown = nullptr;
    EXPECT_EQ(Controls(), "Stop Capture, speed 0, file open");
    Chunk(6000, 'b');
    capture.ToggleCapture();
    Chunk(10);
    EXPECT_EQ(saved, std::string(6000, 'b'));
    EXPECT_EQ(Controls(), "Start Capture, speed 0 (disabled)");
    EXPECT_EQ(texts.size(), 2u) << "a clean stop says nothing";

    // A window that ends during a capture closes its file.
    Capture(*this, *this, *this, *this).ToggleCapture();
    EXPECT_FALSE(isOpen);
}

TEST_F(CaptureRules, SpeedFieldShowsTheAverageRate)
{
    // Chunks of so many bytes at a tick, and the speed field's text after each.
    const std::pair<const char *, std::vector<std::tuple<uint32_t, uint32_t, const char *>>> cases[] = {
        {"nothing until more than 5000 bytes, timed from the first chunk",
         {{3000, 1000, "0"}, {2000, 1500, "0"}, {1, 2000, "5001 B/s"}}},
        {"quotient cut to a whole number", {{5001, 100, "0"}, {1, 103, "1667333 B/s"}}},
        {"no rate before a millisecond has passed", {{6000, 1000, "0"}, {6000, 1000, "0"}, {1, 1001, "12001000 B/s"}}},
        {"product wider than 32 bits, tick 0", {{1, 0, "0"}, {4999999, 1000, "5000000 B/s"}}},
        {"tick count wraps", {{3000, 0xFFFFFF00u, "0"}, {3000, 0x00000100u, "11718 B/s"}}},
    };
    for (const auto &[name, steps] : cases) {
        capture.ToggleCapture(); // each capture times its own data
        for (const auto &[bytes, tick, text] : steps) {
            now = tick;
            Chunk(bytes);
            EXPECT_EQ(speed, text) << name << ", tick " << tick;
        }
        capture.ToggleCapture();
    }
}

TEST_F(CaptureRules, FailingFileStopsTheCaptureAndSaysWhatIsSaved)
{
    const std::tuple<const char *, uint64_t, std::function<void()>, uint64_t> cases[] = {
        {"write", 5000, [this] { Chunk(4096), Chunk(4096); }, 5000},
        {"flush", 0, [this] { failed = true, capture.Flush(); }, 0},
        {"close", 0, [this] { failed = true, capture.ToggleCapture(); }, 0},
    };
    for (const auto &[name, bytes, act, savedCount] : cases) {
        texts.clear();
        room = bytes;
        capture.ToggleCapture();
        bool onWhileTold = true;
        whileShown = [&] { onWhileTold = capture.IsOn(); };
        act();
        whileShown = nullptr;

        EXPECT_FALSE(onWhileTold) << name << ": capture is off before the user is told";
        EXPECT_EQ(Controls(), "Start Capture, speed 0 (disabled)") << name;
        ASSERT_EQ(texts.size(), 2u) << name;
        EXPECT_EQ(texts[1], "Capture stopped: No space left on device (" + std::to_string(savedCount) +
                                " bytes saved in /home/user/verrin.dat)")
            << name;
    }
}

} // namespace
