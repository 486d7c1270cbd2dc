#pragma once
// The ten command buttons CMD1..CMD10 of the main window. CMD1..CMD9 send the
// profile's command texts, CMD10 sends the numbered line test; in binary mode
// CMD1..CMD7 send seven fixed binary test messages instead. Every send is
// echoed into the terminal text.

#include <array>
#include <cstddef>
#include <cstdint>
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

// The line count text read as atoi reads it: blanks, an optional sign and the
// leading decimal digits; text without digits gives 0. Out-of-range numbers
// saturate at the int32 limits.
int32_t ParseLineCount(std::string_view text);

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
    Sent,     // the text was echoed and written (a failed write is reported by the link)
    Nothing,  // nothing to send: empty text, a count of 0 or less, or no such button
    LineTest, // CMD10 with a count above 0: the caller runs a LineTestFeed (LineTest.h)
};

// The click of CMDn, n = 1..10. In binary mode this is SendTestSequence(n).
// Otherwise CMD1..CMD9 echo their text, then write it in one write. CMD10
// sends nothing here: its text can be larger than memory, so the window feeds
// it to the port in pieces. The window moves the focus to the terminal view
// afterwards.
CommandSend SendCommandButton(int n, const Settings &settings, bool binaryMode,
                              SerialLink &link, EchoSink &echo);

// Binary mode: test message n (1..7) in one write, then its echo. Any other n
// sends nothing.
CommandSend SendTestSequence(int n, SerialLink &link, EchoSink &echo);
