#include "sim/CommandInput.h"

#include "sim/BinaryMessages.h"

namespace {
constexpr uint8_t BS = 0x08, CAN = 0x18, DEL = 0x7F;

bool IsLineText(uint8_t b) { return (b >= 0x20 && b <= 0x7E) || b == '\t'; }

bool StartsBinaryMessage(uint8_t b)
{
    for (const BinaryMessage &m : KnownBinaryMessages())
        if (m.bytes[0] == b)
            return true;
    return false;
}
} // namespace

void CommandInput::Discard(size_t junk)
{
    junk_ += junk;
    line_.clear();
    mode_ = Mode::Discard;
}

bool CommandInput::FeedBinary(uint8_t byte, std::optional<Unit> &unit)
{
    // No known message is a prefix of another, so the first complete match
    // is the message.
    bool continues = false;
    for (size_t i = 0; i < KnownBinaryMessages().size(); ++i) {
        const std::vector<uint8_t> &bytes = KnownBinaryMessages()[i].bytes;
        if (bytes.size() <= matched_ || bytes[matched_] != byte)
            continue;
        bool samePrefix = true;
        for (size_t k = 0; k < matched_ && samePrefix; ++k)
            samePrefix = bytes[k] == static_cast<uint8_t>(line_[k]);
        if (!samePrefix)
            continue;
        continues = true;
        if (bytes.size() == matched_ + 1) {
            unit = Unit{Unit::Kind::Binary, {}, i};
            line_.clear();
            matched_ = 0;
            mode_ = Mode::Text;
            return true;
        }
    }
    if (!continues) {
        Discard(matched_);
        matched_ = 0;
        return false;
    }
    line_.push_back(static_cast<char>(byte));
    ++matched_;
    return true;
}

std::optional<CommandInput::Unit> CommandInput::Feed(uint8_t byte)
{
    std::optional<Unit> unit;
    const bool secondOfCrLf = afterCr_ && byte == '\n';
    afterCr_ = false;
    if (mode_ == Mode::Binary && FeedBinary(byte, unit))
        return unit;

    if (secondOfCrLf) {
        if (lfIsJunk_)
            ++junk_;
        lfIsJunk_ = false;
        return unit;
    }
    lfIsJunk_ = false;
    if (byte == '\r' || byte == '\n') {
        afterCr_ = byte == '\r';
        if (mode_ == Mode::Discard) {
            ++junk_;
            lfIsJunk_ = true;
            mode_ = Mode::Text;
            return unit;
        }
        lastLineBytes_ = line_.size() + 1;
        unit = Unit{Unit::Kind::Line, line_};
        line_.clear();
        return unit;
    }
    if (mode_ == Mode::Discard) {
        ++junk_;
        return unit;
    }
    if (line_.empty()) {
        if (byte == '1' || byte == '2')
            return Unit{Unit::Kind::MenuKey, std::string(1, static_cast<char>(byte))};
        if (byte == CAN || byte == BS || byte == DEL) // leftovers of a cancelled download, rub-outs of nothing
            return unit;
        if (StartsBinaryMessage(byte)) {
            mode_ = Mode::Binary;
            FeedBinary(byte, unit);
            return unit;
        }
    }
    if (IsLineText(byte)) {
        if (line_.size() >= kMaxLine)
            Discard(line_.size() + 1);
        else
            line_.push_back(static_cast<char>(byte));
    } else if (byte == BS || byte == DEL) {
        line_.pop_back();
    } else {
        Discard(line_.size() + 1);
    }
    return unit;
}

void CommandInput::RejectLastLine()
{
    junk_ += lastLineBytes_;
    lfIsJunk_ = afterCr_;
}

void CommandInput::Pause()
{
    if (mode_ == Mode::Binary) {
        junk_ += matched_;
        matched_ = 0;
        line_.clear();
    }
    mode_ = Mode::Text;
}

size_t CommandInput::TakeJunk()
{
    const size_t junk = junk_;
    junk_ = 0;
    return junk;
}
