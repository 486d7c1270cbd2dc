#pragma once
// What the "Send Command" dialog accepts at OK and when "Continuous" is
// clicked. The first bad box wins; the dialog shows its message once, puts
// the focus on that box and stays open.

#include <cstdint>
#include <string_view>

inline constexpr int32_t kMaxTestLines = 20000;
inline constexpr uint32_t kMaxBlockSize = 65536;

inline constexpr const char *kTooManyLinesMessage = "lines should not more than 20000!";
inline constexpr const char *kBlockSizeRangeMessage =
    "Please enter an integer between 1 and 65536.";
inline constexpr const char *kUnsignedMessage = "Please enter an unsigned integer.";

enum class SendCmdBox { None, LineCount, BlockSize, Pause };

struct SendCmdCheck {
    SendCmdBox bad = SendCmdBox::None; // the box to correct; None when all is well
    const char *message = "";          // what to tell the user about it
    uint32_t blockSize = 0;            // the two block numbers, when all is well
    uint32_t pauseMs = 0;
};

// The line count as the line test reads it (atoi), taken as unsigned 32-bit:
// 0..20000 pass, anything above and every negative number does not. Text that
// is not a number reads as 0 and passes.
bool LineCountAllowed(std::string_view lineCount);

// Reading the block boxes: bytes per block (1..65536) first, then the pause
// (any unsigned 32-bit number). Each box holds an unsigned decimal number with
// blanks around it at most.
SendCmdCheck ReadBlockBoxes(std::string_view blockSize, std::string_view pause);

// OK: the line count first, then the block boxes.
SendCmdCheck CheckSendCmdOk(std::string_view lineCount, std::string_view blockSize,
                            std::string_view pause);
