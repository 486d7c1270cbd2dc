#pragma once
// Bytes on their way through one direction of an emulated line: they enter
// with Push and leave with TakeDue once the line's byte time (and latency)
// has passed for them.

#include "sim/LinePacer.h"

#include <string>

class PacedQueue {
public:
    explicit PacedQueue(uint32_t baud, nanoseconds latency = nanoseconds(0)) : pacer_(baud, latency) {}

    void Push(const char *data, size_t count, SimTime now)
    {
        bytes_.append(data, count);
        pacer_.Push(count, now);
    }
    void Push(const std::string &data, SimTime now) { Push(data.data(), data.size(), now); }

    std::string TakeDue(SimTime now)
    {
        const size_t n = pacer_.TakeDue(now);
        std::string due = bytes_.substr(0, n);
        bytes_.erase(0, n);
        return due;
    }

    std::optional<SimTime> NextDue() const { return pacer_.NextDue(); }
    std::optional<SimTime> BurstEndDue() const { return pacer_.BurstEndDue(); }
    size_t Size() const { return bytes_.size(); }

private:
    LinePacer pacer_;
    std::string bytes_;
};
