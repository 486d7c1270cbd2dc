#include "app/TerminalText.h"

#include <algorithm>

void FilterReceived(const uint8_t *bytes, size_t count, std::string &out)
{
    const size_t callStart = out.size(); // a backspace never reaches earlier text
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if ((b >= 0x20 && b <= 0x7E) || b == 0x0D || b == 0x0A) {
            out.push_back(static_cast<char>(b));
        } else if (b == 0x08) {
            if (out.size() > callStart) {
                const uint8_t last = static_cast<uint8_t>(out.back());
                if (last >= 0x20 && last <= 0x7E)
                    out.pop_back();
            }
        }
    }
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

void TerminalText::AppendReceived(const uint8_t *bytes, size_t count)
{
    TrimFor(count);
    FilterReceived(bytes, count, buf_);
}

void TerminalText::AppendHex(const uint8_t *bytes, size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        TrimFor(3);
        const char hex[3] = {' ', digits[bytes[i] >> 4], digits[bytes[i] & 0x0F]};
        buf_.append(hex, 3);
    }
    TrimFor(2);
    buf_.append("\r\n", 2);
}

void TerminalText::Echo(std::string_view text) { buf_.append(text.data(), text.size()); }

void TerminalText::EchoTrimmed(std::string_view text)
{
    TrimFor(text.size());
    Echo(text);
}

bool TerminalText::RubOut()
{
    if (Length() == 0)
        return false;
    const uint8_t last = static_cast<uint8_t>(buf_.back());
    if (last < 0x20 || last > 0x7E)
        return false;
    buf_.pop_back();
    stableEnd_ = std::min<uint64_t>(stableEnd_, base_ + Length());
    return true;
}

void TerminalText::Clear() { DropFront(Length()); }

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
