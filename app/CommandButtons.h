#pragma once
// The ten command buttons CMD1..CMD10 of the main window. CMD1..CMD9 send the
// profile's command texts, CMD10 sends the numbered line test; in binary mode
// CMD1..CMD7 send seven fixed binary test messages instead. Every send is
// echoed into the terminal text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Settings;
class SerialLink;

// Where sent text is shown: the main window's EchoToTerminal.
class EchoSink {
public:
    virtual ~EchoSink() = default;
    virtual void EchoToTerminal(std::string_view text) = 0;
};

// The pause after each block of a block-wise line test. It blocks the calling
// thread on purpose: the window does not respond until the last block and its
// pause are done.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(uint32_t ms) = 0;
};

// Sleeps on the calling thread for real.
class ThreadSleeper : public Sleeper {
public:
    void SleepMs(uint32_t ms) override;
};

// The line count text read as atoi reads it: blanks, an optional sign and the
// leading decimal digits; text without digits gives 0. Out-of-range numbers
// saturate at the int32 limits.
int32_t ParseLineCount(std::string_view text);

// The line test text: for i = 1..count, "Line %-5d%07d Bytes sent\r\n" with i
// and the running total 30 * i. 30 bytes a line while the line number has at
// most five digits and the total at most seven. A count of 0 or less gives an
// empty text; nullopt when the text does not fit in memory.
std::optional<std::string> BuildLineTestText(int32_t count);

// How the line test goes out: in one write, or in blocks of blockSize bytes
// with a pause after each.
struct LineTestPlan {
    bool inBlocks = false;
    uint32_t blockSize = 0;
    uint32_t pauseMs = 0;
};
// Blocks only when continuous is off, the block size above 0 and the pause
// 0 or more.
LineTestPlan PlanLineTest(const Settings &settings);

// One binary test message of binary mode.
struct TestMessage {
    const char *caption;
    std::string_view bytes;
    const char *echo;
};
// The messages of CMD1..CMD7, in button order.
const std::array<TestMessage, 7> &TestMessages();

// The ten button captions. Binary mode: the test messages' captions, CMD8..10
// empty. Otherwise CMDn shows caption n, and CMD10 "Send %d line" for a line
// count of exactly 1 and "Send %d lines" for any other.
std::array<std::string, 10> CommandCaptions(const Settings &settings, bool binaryMode);

enum class CommandSend {
    Sent,        // the text was echoed and written (a failed write is reported by the link)
    Nothing,     // nothing to send: empty text, a count of 0 or less, or no such button
    OutOfMemory, // the line test text could not be built; nothing sent or echoed
};

// The click of CMDn, n = 1..10. In binary mode this is SendTestSequence(n).
// Otherwise the whole text is built first, echoed, then written: in one write,
// or for CMD10 block-wise per PlanLineTest, sleeping after every block, the
// last one too. A failed block does not stop the blocks after it. The window
// moves the focus to the terminal view afterwards.
CommandSend SendCommandButton(int n, const Settings &settings, bool binaryMode,
                              SerialLink &link, EchoSink &echo, Sleeper &sleeper);

// Binary mode: test message n (1..7) in one write, then its echo. Any other n
// sends nothing.
CommandSend SendTestSequence(int n, SerialLink &link, EchoSink &echo);
