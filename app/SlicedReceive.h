#pragma once
// The terminal receive step of the poll (transfer state 0), shown in slices
// so that the window can repaint between them. A step takes the bytes that
// wait when it starts and no more; it reads and shows them a slice at a time,
// and the result is what one whole step would show: the text filtered and
// trimmed as received text, or in hex display the step's bytes as one line
// with its CR LF after the last of them. Every byte read passes through the
// link's ReadBlock, which counts it and hands it to a running capture, in
// order.

#include "app/TerminalText.h"
#include "serial/SerialLink.h"

#include <cstdint>
#include <vector>

class SlicedReceive {
public:
    SlicedReceive(SerialLink &link, TerminalText &text) : link_(link), text_(text) {}

    // Starts a step with the bytes waiting now, in hex display or not; false
    // when nothing waits or the last step is not over.
    bool Start(bool hex);
    // Reads and shows up to max more bytes of the step. Returns whether the
    // step goes on; a read that fails or comes up short ends it.
    bool Continue(size_t max);
    // Ends the step where it stands (the port closed, a download took the
    // port over); in hex display the line is closed.
    void End();
    bool Busy() const { return busy_; }

private:
    SerialLink &link_;
    TerminalText &text_;
    bool busy_ = false;
    bool hex_ = false;
    uint32_t left_ = 0; // bytes of the step not read yet
    std::vector<uint8_t> buffer_;
};
