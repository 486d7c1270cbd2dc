#pragma once
// The terminal text: one 8-bit string that always equals what the terminal
// view shows. Received bytes enter it filtered (printable ASCII, CR, LF, with
// backspace applied within one call) and trimmed at a size limit; text that
// Verrin itself sends is echoed into it unfiltered.
//
// The view does not copy the whole text after every change. It asks for a
// ViewUpdate (characters to drop at the front, how much of the rest to keep,
// what to append), so a step that adds a few bytes to a full terminal costs a
// few bytes of work in the view, not four million.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TerminalText {
public:
    static constexpr size_t kLimit = 4000000;    // trim when the text would reach it
    static constexpr size_t kKeepBase = 3998000; // a trim keeps kKeepBase - count

    // Room for a full terminal and the dropped front that waits to be
    // compacted is taken once, so a terminal filling up never copies itself
    // to grow. Untouched room costs address space, not memory.
    TerminalText() { buf_.reserve(2 * kLimit + (8u << 20)); }

    // Received bytes (AppendToTerminal): filter, trim, append.
    void AppendReceived(const uint8_t *bytes, size_t count);
    // A receive step shown in slices gives the same text as one
    // AppendReceived of the whole step: the first slice trims for the whole
    // step (rest: the bytes of the step from this slice on), and a backspace
    // reaches back into the earlier slices of its step. A change of the text
    // between two slices (an echo, a clear) ends that call, and the rest of
    // the step starts a new one. BeginReceivedStep comes before a step's
    // first slice.
    void BeginReceivedStep() { sliceOpen_ = false; }
    void AppendReceivedSlice(const uint8_t *bytes, size_t count, size_t rest);
    // Binary display of one poll step: each byte as " %02X" through its own
    // AppendReceived, then CR LF through one more.
    void AppendHex(const uint8_t *bytes, size_t count);
    // The same in parts, for a step shown in slices: the bytes, then the line
    // end once after the step's last byte.
    void AppendHexBytes(const uint8_t *bytes, size_t count);
    void EndHexLine();
    // Sent text (EchoToTerminal): appended as it is, no filter, no trim.
    void Echo(std::string_view text);
    // A piece of a send too long to keep whole (the line test's echo):
    // appended unfiltered, but trimmed first as received text is, so it never
    // takes the text to its limit.
    void EchoTrimmed(std::string_view text);
    // Backspace typed at the keyboard: removes the last character when it is
    // printable (0x20..0x7E). Returns whether one was removed.
    bool RubOut();
    // ClearTerminal: the text becomes empty.
    void Clear();

    std::string_view Text() const { return std::string_view(buf_).substr(start_); }
    size_t Length() const { return buf_.size() - start_; }

    struct ViewUpdate {
        size_t dropFront = 0;     // characters to remove at the start of the view
        size_t keep = 0;          // then keep this many, remove the rest
        std::string_view append;  // then append this
        bool changed = false;     // false: the view is already up to date
    };
    // What the view must do to show Text() again, assuming it applied every
    // earlier update. The returned text stays valid until the next change.
    ViewUpdate TakeViewUpdate();

private:
    void TrimFor(size_t incomingCount);
    void Filter(const uint8_t *bytes, size_t count, size_t callStart);
    void DropFront(size_t n);

    std::string buf_;    // the text is buf_[start_..]; the front is dropped lazily
    size_t start_ = 0;
    // Absolute character indexes (counting every character ever dropped at the
    // front) for the view bookkeeping.
    uint64_t base_ = 0;      // index of Text()[0]
    uint64_t viewBase_ = 0;  // the view holds [viewBase_, viewEnd_)
    uint64_t viewEnd_ = 0;
    uint64_t stableEnd_ = 0; // characters before it are unchanged since the last update
    bool sliceOpen_ = false;    // the last change was a slice of a receive step
    uint64_t sliceCallStart_ = 0; // absolute index where that step's call began
};

// The filter of received text alone: printable ASCII, CR and LF kept,
// backspace removing the last kept printable character of the same call,
// everything else dropped. Appends to out.
void FilterReceived(const uint8_t *bytes, size_t count, std::string &out);
