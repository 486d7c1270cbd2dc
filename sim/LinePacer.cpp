#include "sim/LinePacer.h"

#include <algorithm>

namespace {
constexpr uint64_t kBitsPerByte = 10;
constexpr uint64_t kNsPerSecond = 1000000000;
} // namespace

LinePacer::LinePacer(uint32_t baud, nanoseconds latency) : baud_(baud), latency_(latency) {}

nanoseconds LinePacer::Offset(uint64_t bytes) const
{
    if (baud_ == 0)
        return nanoseconds(0);
    // Rounded up, so that a byte counts as done (DoneBy) at its own due time.
    const unsigned __int128 bits = static_cast<unsigned __int128>(bytes) * kBitsPerByte * kNsPerSecond;
    return nanoseconds(static_cast<int64_t>((bits + baud_ - 1) / baud_));
}

uint64_t LinePacer::DoneBy(const Period &p, SimTime t) const
{
    const nanoseconds elapsed = t - p.epoch - latency_;
    if (elapsed.count() < 0)
        return 0;
    if (baud_ == 0)
        return p.count;
    const unsigned __int128 bytes =
        static_cast<unsigned __int128>(elapsed.count()) * baud_ / (kBitsPerByte * kNsPerSecond);
    return static_cast<uint64_t>(std::min<unsigned __int128>(bytes, p.count));
}

void LinePacer::Push(size_t count, SimTime now)
{
    if (count == 0)
        return;
    // The transmitter is still busy while the last period's bytes are on the
    // wire; new bytes queue behind them in the same period.
    if (!periods_.empty()) {
        Period &last = periods_.back();
        if (now < last.epoch + Offset(last.count)) {
            last.count += count;
            return;
        }
    }
    periods_.push_back(Period{now, count, 0});
}

size_t LinePacer::TakeDue(SimTime now)
{
    size_t due = 0;
    while (!periods_.empty()) {
        Period &p = periods_.front();
        const uint64_t done = DoneBy(p, now);
        due += static_cast<size_t>(done - p.delivered);
        p.delivered = done;
        if (done < p.count)
            break;
        // Keep a finished period while it is the last one: its end tells
        // Push whether the transmitter is still busy.
        if (periods_.size() == 1)
            break;
        periods_.pop_front();
    }
    return due;
}

std::optional<SimTime> LinePacer::NextDue() const
{
    for (const Period &p : periods_) {
        if (p.delivered < p.count)
            return p.epoch + Offset(p.delivered + 1) + latency_;
    }
    return std::nullopt;
}

std::optional<SimTime> LinePacer::BurstEndDue() const
{
    for (const Period &p : periods_) {
        if (p.delivered < p.count)
            return p.epoch + Offset(p.count) + latency_;
    }
    return std::nullopt;
}

size_t LinePacer::InFlight() const
{
    size_t n = 0;
    for (const Period &p : periods_)
        n += static_cast<size_t>(p.count - p.delivered);
    return n;
}
