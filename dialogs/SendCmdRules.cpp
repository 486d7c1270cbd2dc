#include "dialogs/SendCmdRules.h"

#include "app/CommandButtons.h"

#include <limits>

namespace {

enum class Reading { Number, TooBig, NotNumber };

Reading ReadUnsigned(std::string_view text, uint32_t &value)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return Reading::NotNumber;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.find_first_not_of("0123456789") != std::string_view::npos)
        return Reading::NotNumber;
    uint64_t number = 0;
    for (const char c : text) {
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > std::numeric_limits<uint32_t>::max())
            return Reading::TooBig;
    }
    value = static_cast<uint32_t>(number);
    return Reading::Number;
}

} // namespace

bool LineCountAllowed(std::string_view lineCount)
{
    const int32_t count = ParseLineCount(lineCount);
    return count >= 0 && count <= kMaxTestLines;
}

SendCmdCheck ReadBlockBoxes(std::string_view blockSize, std::string_view pause)
{
    SendCmdCheck check;
    const Reading size = ReadUnsigned(blockSize, check.blockSize);
    if (size != Reading::Number || check.blockSize < 1 || check.blockSize > kMaxBlockSize) {
        // A run of digits too long for 32 bits is a number out of range.
        check.bad = SendCmdBox::BlockSize;
        check.message = size == Reading::NotNumber ? kUnsignedMessage : kBlockSizeRangeMessage;
        return check;
    }
    if (ReadUnsigned(pause, check.pauseMs) != Reading::Number) {
        check.bad = SendCmdBox::Pause;
        check.message = kUnsignedMessage;
    }
    return check;
}

SendCmdCheck CheckSendCmdOk(std::string_view lineCount, std::string_view blockSize,
                            std::string_view pause)
{
    if (!LineCountAllowed(lineCount)) {
        SendCmdCheck check;
        check.bad = SendCmdBox::LineCount;
        check.message = kTooManyLinesMessage;
        return check;
    }
    return ReadBlockBoxes(blockSize, pause);
}
