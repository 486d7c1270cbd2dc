#include "app/TerminalText.h"

#include <algorithm>

namespace {
// Filters into out; a backspace never reaches out[0, callStart). Returns the
// shortest length out had on the way.
size_t FilterFrom(const uint8_t *bytes, size_t count, std::string &out, size_t callStart)
{
    size_t lowest = out.size();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if ((b >= 0x20 && b <= 0x7E) || b == 0x0D || b == 0x0A) {
            out.push_back(static_cast<char>(b));
        } else if (b == 0x08) {
            if (out.size() > callStart) {
                const uint8_t last = static_cast<uint8_t>(out.back());
                if (last >= 0x20 && last <= 0x7E) {
                    out.pop_back();
                    lowest = std::min(lowest, out.size());
                }
            }
        }
    }
    return lowest;
}
} // namespace

void FilterReceived(const uint8_t *bytes, size_t count, std::string &out)
{
    FilterFrom(bytes, count, out, out.size());
}

void TerminalText::DropFront(size_t n)
{
    n = std::min(n, Length());
    start_ += n;
    base_ += n;
    // Compact once the dead front outweighs the live text, so trims stay
    // amortised O(1) per character however often they happen.
    if (start_ > buf_.size() - start_ && start_ > 65536) {
        buf_.erase(0, start_);
        start_ = 0;
    }
}

void TerminalText::TrimFor(size_t incomingCount)
{
    if (Length() + incomingCount < kLimit)
        return;
    const size_t keep = incomingCount < kKeepBase ? kKeepBase - incomingCount : 0;
    DropFront(Length() - std::min(keep, Length()));
}

void TerminalText::Filter(const uint8_t *bytes, size_t count, size_t callStart)
{
    const size_t lowest = FilterFrom(bytes, count, buf_, callStart);
    // A backspace may take back what the view already shows.
    stableEnd_ = std::min<uint64_t>(stableEnd_, base_ + (lowest - start_));
}

void TerminalText::AppendReceived(const uint8_t *bytes, size_t count)
{
    sliceOpen_ = false;
    TrimFor(count);
    Filter(bytes, count, buf_.size());
}

void TerminalText::AppendReceivedSlice(const uint8_t *bytes, size_t count, size_t rest)
{
    if (!sliceOpen_) {
        TrimFor(rest);
        sliceCallStart_ = base_ + Length();
        sliceOpen_ = true;
    }
    // Nothing else has changed the text since the call began, so its start
    // is still in the live text.
    Filter(bytes, count, start_ + size_t(sliceCallStart_ - base_));
}

void TerminalText::AppendHex(const uint8_t *bytes, size_t count)
{
    AppendHexBytes(bytes, count);
    EndHexLine();
}

void TerminalText::AppendHexBytes(const uint8_t *bytes, size_t count)
{
    sliceOpen_ = false;
    static const char digits[] = "0123456789ABCDEF";
    // Each byte trims for its own three characters; between two trims the
    // bytes go in as one run, which gives the same text.
    for (size_t i = 0; i < count;) {
        TrimFor(3);
        const size_t room = (kLimit - 1 - Length()) / 3; // at least one byte
        const size_t run = std::min(count - i, room);
        const size_t at = buf_.size();
        buf_.resize(at + 3 * run);
        char *out = &buf_[at];
        for (const uint8_t *b = bytes + i, *end = b + run; b != end; ++b, out += 3) {
            out[0] = ' ';
            out[1] = digits[*b >> 4];
            out[2] = digits[*b & 0x0F];
        }
        i += run;
    }
}

void TerminalText::EndHexLine()
{
    sliceOpen_ = false;
    TrimFor(2);
    buf_.append("\r\n", 2);
}

void TerminalText::Echo(std::string_view text)
{
    sliceOpen_ = false;
    buf_.append(text.data(), text.size());
}

void TerminalText::EchoTrimmed(std::string_view text)
{
    TrimFor(text.size());
    Echo(text);
}

bool TerminalText::RubOut()
{
    sliceOpen_ = false;
    if (Length() == 0)
        return false;
    const uint8_t last = static_cast<uint8_t>(buf_.back());
    if (last < 0x20 || last > 0x7E)
        return false;
    buf_.pop_back();
    stableEnd_ = std::min<uint64_t>(stableEnd_, base_ + Length());
    return true;
}

void TerminalText::Clear()
{
    sliceOpen_ = false;
    DropFront(Length());
}

TerminalText::ViewUpdate TerminalText::TakeViewUpdate()
{
    ViewUpdate u;
    const uint64_t viewLength = viewEnd_ - viewBase_;
    u.dropFront = static_cast<size_t>(std::min<uint64_t>(viewLength, base_ - viewBase_));
    const uint64_t keptEnd = std::min(viewEnd_, stableEnd_);
    u.keep = keptEnd > base_ ? static_cast<size_t>(keptEnd - base_) : 0;
    u.append = Text().substr(u.keep);
    u.changed = u.dropFront > 0 || u.keep < viewLength - u.dropFront || !u.append.empty();
    viewBase_ = base_;
    viewEnd_ = base_ + Length();
    stableEnd_ = viewEnd_;
    return u;
}
