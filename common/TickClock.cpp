#include "common/TickClock.h"

#include <chrono>

uint32_t SteadyTickClock::TickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
