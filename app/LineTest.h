#pragma once
// The line test of CMD10, made and sent in pieces. Its text can be far larger
// than memory (a stored count of fifty million lines is 1.5 GB), so nothing
// holds it whole: LineTestText makes it line by line as it is read, and
// LineTestFeed hands it to the port a piece at a time, as the port takes
// them, with the pauses of the block-wise plan between.

#include "app/KeyInput.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

struct Settings;

// The text of a line test of count lines: for i = 1..count, the line
// "Line %-5d%07d Bytes sent\r\n" with i and the running total 30 * i. Lines
// are 30 bytes while the number has at most five digits and the total at most
// seven; past that the fields widen and the lines grow, exactly as the format
// gives. A count of 0 or less gives an empty text.
class LineTestText {
public:
    explicit LineTestText(int32_t count) : count_(count) {}

    // Copies the next bytes, at most max, to out; returns how many (0 at the end).
    size_t Read(char *out, size_t max);
    bool AtEnd() const { return pos_ == length_ && next_ > count_; }

private:
    void MakeLine();

    int32_t count_;
    int64_t next_ = 1;  // number of the next line to make
    char line_[64];     // the current line; at most 39 bytes
    size_t length_ = 0; // its length
    size_t pos_ = 0;    // bytes of it already read
};

// How the line test goes out: in one stream, or in blocks of blockSize bytes
// with a pause after each block, the last one too.
struct LineTestPlan {
    bool inBlocks = false;
    uint32_t blockSize = 0;
    uint32_t pauseMs = 0;
};
// Blocks only when continuous is off, the block size above 0 and the pause
// 0 or more.
LineTestPlan PlanLineTest(const Settings &settings);

// How many bytes the port may hold that the line has not sent yet: about a
// tenth of a second of the line at the given rate, at least 4 KiB. More would
// only let the echo run further ahead of the line, and be dropped unsent when
// the user disconnects.
size_t LineTestBacklog(int32_t baudrate);

// One line test on its way to the port. The window asks Next what to do
// whenever the port has taken bytes (or a pause has passed), and does it.
class LineTestFeed {
public:
    LineTestFeed(int32_t count, const LineTestPlan &plan) : text_(count), plan_(plan) {}

    enum class Action {
        Write, // hand bytes to the port (and echo them)
        Wait,  // nothing until the port has taken more
        Pause, // a block is complete and sent: wait pauseMs, then ask again
        Done,  // everything is sent: the test is over
    };
    struct Step {
        Action action = Action::Done;
        std::string_view bytes; // Write: valid until the next call
        uint32_t pauseMs = 0;
    };
    // The next step, with the port holding `held` bytes not sent yet and
    // meant to hold at most `backlog`. Writes never cross the end of a block;
    // a block's pause and the end both come once the port has sent all it holds.
    Step Next(size_t held, size_t backlog);

    // Keys typed while the line test runs wait here and go out, in order,
    // once it is over; the line test's bytes are never split by them.
    // Dropping the feed (disconnect, device lost) drops them too: there is no
    // port left to take them.
    void HoldKey(KeyOutcome key) { heldKeys_.push_back(std::move(key)); }
    std::deque<KeyOutcome> TakeHeldKeys() { return std::move(heldKeys_); }

private:
    // The next piece, with room (> 0) bytes free in the port: Pause and Done
    // here say a block or the text is complete, not yet sent.
    Step Piece(size_t room);

    LineTestText text_;
    LineTestPlan plan_;
    Action afterSent_ = Action::Write; // Pause or Done: what comes once the port has sent all it holds
    uint64_t blockLeft_ = 0; // bytes of the current block not handed over yet
    bool pauseDue_ = false;
    std::string piece_;
    std::deque<KeyOutcome> heldKeys_;
};
