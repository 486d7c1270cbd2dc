#pragma once
// Splits what the terminal sends outside a download into the module's input:
// text lines (ended by CR, LF or CR LF), the binary test messages, and the
// single keys "1" (download) and "2" (boot) at the start of a line. The
// module does not echo.
//
// Anything else is junk: control or 8-bit bytes inside a line, binary that is
// no known message, lines too long to be commands. Junk is thrown away up to
// the next line end or pause, so stray binary never blocks the commands that
// follow, and it is counted so that the module can report it once.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CommandInput {
public:
    struct Unit {
        enum class Kind { Line, Binary, MenuKey };
        Kind kind;
        std::string text;   // Line: the text without its line end; MenuKey: the key
        size_t message = 0; // Binary: index into KnownBinaryMessages()
    };

    static constexpr size_t kMaxLine = 256;

    std::optional<Unit> Feed(uint8_t byte);
    // The last Line was not a command: it counts as junk, line end included.
    void RejectLastLine();
    // The sender has paused: junk being thrown away (or a binary message cut
    // short) ends here. A partly typed line is kept; people type slowly.
    void Pause();
    // Junk bytes counted since the last call.
    size_t TakeJunk();

private:
    enum class Mode { Text, Binary, Discard };
    // Feeds a byte to the binary matcher; false when it does not continue
    // any known message (the bytes so far become junk).
    bool FeedBinary(uint8_t byte, std::optional<Unit> &unit);
    void Discard(size_t junk);

    Mode mode_ = Mode::Text;
    std::string line_;
    size_t matched_ = 0; // bytes of a binary message matched so far
    bool afterCr_ = false;
    bool lfIsJunk_ = false; // an LF that completes CR LF belongs to a junk line
    size_t lastLineBytes_ = 0;
    size_t junk_ = 0;
};
