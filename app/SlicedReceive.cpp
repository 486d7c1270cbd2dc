#include "app/SlicedReceive.h"

#include <algorithm>
#include <new>

bool SlicedReceive::Start(bool hex)
{
    if (busy_)
        return false;
    const int32_t n = link_.BytesWaiting();
    if (n <= 0)
        return false;
    busy_ = true;
    hex_ = hex;
    left_ = static_cast<uint32_t>(n);
    text_.BeginReceivedStep();
    return true;
}

bool SlicedReceive::Continue(size_t max)
{
    if (!busy_)
        return false;
    const size_t want = std::min<size_t>(std::max<size_t>(max, 1), left_);
    try {
        if (buffer_.size() < want)
            buffer_.resize(want);
    } catch (const std::bad_alloc &) {
        // No room for the slice: the step ends without reading, and the
        // bytes wait for the next one.
        busy_ = false;
        return false;
    }
    const uint32_t got = link_.ReadBlock(buffer_.data(), static_cast<int32_t>(want));
    if (hex_)
        text_.AppendHexBytes(buffer_.data(), got);
    else
        text_.AppendReceivedSlice(buffer_.data(), got, left_);
    left_ = got == want ? left_ - uint32_t(got) : 0;
    if (left_ == 0)
        End();
    return busy_;
}

void SlicedReceive::End()
{
    if (!busy_)
        return;
    if (hex_)
        text_.EndHexLine();
    busy_ = false;
    left_ = 0;
}
