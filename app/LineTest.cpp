#include "app/LineTest.h"

#include "settings/Settings.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

void LineTestText::MakeLine()
{
    const int len = std::snprintf(line_, sizeof line_, "Line %-5" PRId64 "%07" PRId64 " Bytes sent\r\n",
                                  next_, next_ * 30);
    length_ = static_cast<size_t>(len);
    pos_ = 0;
    ++next_;
}

size_t LineTestText::Read(char *out, size_t max)
{
    size_t done = 0;
    while (done < max) {
        if (pos_ == length_) {
            if (next_ > count_)
                break;
            MakeLine();
        }
        const size_t n = std::min(max - done, length_ - pos_);
        std::memcpy(out + done, line_ + pos_, n);
        pos_ += n;
        done += n;
    }
    return done;
}

LineTestPlan PlanLineTest(const Settings &settings)
{
    LineTestPlan plan;
    plan.inBlocks = settings.sendContinuous == 0 && settings.sendBlockSize > 0 &&
                    settings.sendMsPause >= 0;
    if (plan.inBlocks) {
        plan.blockSize = static_cast<uint32_t>(settings.sendBlockSize);
        plan.pauseMs = static_cast<uint32_t>(settings.sendMsPause);
    }
    return plan;
}

size_t LineTestBacklog(int32_t baudrate)
{
    // Ten bits a byte on the line (8N1), a tenth of a second.
    return std::max<size_t>(4096, static_cast<size_t>(std::max(baudrate, 0)) / 100);
}

LineTestFeed::Step LineTestFeed::Next(size_t held, size_t backlog)
{
    if (afterSent_ != Action::Write) {
        Step step;
        if (held > 0) {
            step.action = Action::Wait;
            return step;
        }
        step.action = std::exchange(afterSent_, Action::Write);
        step.pauseMs = plan_.pauseMs;
        return step;
    }
    if (held >= backlog) {
        Step step;
        step.action = Action::Wait;
        return step;
    }
    Step step = Piece(backlog - held);
    if (step.action == Action::Write)
        return step;
    afterSent_ = step.action;
    return Next(held, backlog);
}

LineTestFeed::Step LineTestFeed::Piece(size_t room)
{
    Step step;
    if (pauseDue_) {
        pauseDue_ = false;
        step.action = Action::Pause;
        step.pauseMs = plan_.pauseMs;
        return step;
    }
    size_t want = room;
    if (plan_.inBlocks) {
        if (blockLeft_ == 0)
            blockLeft_ = plan_.blockSize;
        want = static_cast<size_t>(std::min<uint64_t>(want, blockLeft_));
    }
    piece_.resize(want);
    piece_.resize(text_.Read(piece_.data(), want));
    if (piece_.empty())
        return step; // Done
    if (plan_.inBlocks) {
        blockLeft_ -= piece_.size();
        // The last block may be short; its pause follows all the same.
        pauseDue_ = blockLeft_ == 0 || text_.AtEnd();
    }
    step.action = Action::Write;
    step.bytes = piece_;
    return step;
}
