#pragma once
// Time as the program's rules see it: milliseconds of a tick count that wraps
// at 32 bits. The steady clock in the program, a clock the test moves in
// tests.

#include <cstdint>

class TickClock {
public:
    virtual ~TickClock() = default;
    virtual uint32_t TickCount() = 0;
};

// The steady clock since some fixed point, in milliseconds.
class SteadyTickClock : public TickClock {
public:
    uint32_t TickCount() override;
};
