#pragma once
// The poll() time-out until the earliest of some deadlines: -1 (wait for
// input) when there is none, rounded up to whole milliseconds so that a loop
// never wakes just before a deadline and spins.

#include "sim/SimClock.h"

#include <initializer_list>
#include <optional>

inline int PollTimeout(std::initializer_list<std::optional<SimTime>> deadlines, SimTime now)
{
    std::optional<SimTime> first;
    for (const std::optional<SimTime> &d : deadlines)
        if (d && (!first || *d < *first))
            first = d;
    if (!first)
        return -1;
    if (*first <= now)
        return 0;
    const auto ms = std::chrono::ceil<milliseconds>(*first - now).count();
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}
