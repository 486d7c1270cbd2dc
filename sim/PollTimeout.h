#pragma once
// The poll() time-out until the earliest of some deadlines: -1 (wait for
// input) when there is none, rounded up to whole milliseconds so that a loop
// never wakes just before a deadline and spins.

#include "sim/SimClock.h"

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <optional>

// The earliest of some deadlines; nullopt when there is none.
inline std::optional<SimTime> Earliest(std::initializer_list<std::optional<SimTime>> deadlines)
{
    std::optional<SimTime> first;
    for (const std::optional<SimTime> &d : deadlines)
        if (d && (!first || *d < *first))
            first = d;
    return first;
}

inline int PollTimeout(std::initializer_list<std::optional<SimTime>> deadlines, SimTime now)
{
    const std::optional<SimTime> first = Earliest(deadlines);
    if (!first)
        return -1;
    if (*first <= now)
        return 0;
    const auto ms = std::chrono::ceil<milliseconds>(*first - now).count();
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}

// The wait for ppoll, to the nanosecond, until the earliest of some
// deadlines; nullopt (wait for input) when there is none.
inline std::optional<timespec> PreciseTimeout(std::initializer_list<std::optional<SimTime>> deadlines,
                                              SimTime now)
{
    const std::optional<SimTime> first = Earliest(deadlines);
    if (!first)
        return std::nullopt;
    const int64_t ns = *first <= now ? 0 : std::chrono::duration_cast<nanoseconds>(*first - now).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}
