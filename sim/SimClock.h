#pragma once
// Time as the virtual module and the line emulator see it: a monotonic clock,
// so pacing and time-outs never jump when the wall clock is set. The protocol
// and reply objects take "now" as an argument, which lets tests step them
// through time without waiting.

#include <chrono>

using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;
