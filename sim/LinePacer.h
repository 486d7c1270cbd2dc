#pragma once
// Byte timing of one direction of a serial line: 10 bits per byte (start bit,
// 8 data bits, stop bit) at a given baud rate, plus a fixed one-way latency.
//
// Each byte gets its arrival time from its position in the current busy
// period (epoch + (index + 1) * byte time + latency), never from the time of
// the byte before, so rounding and late wake-ups do not add up over long runs.
// A busy period ends when the transmitter has gone idle; the next byte starts
// a new one at the moment it is handed over.

#include "sim/SimClock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

class LinePacer {
public:
    // baud 0: no byte time (bytes arrive after the latency alone).
    explicit LinePacer(uint32_t baud, nanoseconds latency = nanoseconds(0));

    // count bytes are handed to the line at now.
    void Push(size_t count, SimTime now);
    // Number of handed-over bytes that have reached the far end by now; they
    // count as delivered from here on.
    size_t TakeDue(SimTime now);
    // Arrival time of the next byte not yet delivered.
    std::optional<SimTime> NextDue() const;
    // Arrival time of the last byte of the busy period that the next byte
    // not yet delivered belongs to: the end of the burst now on its way.
    std::optional<SimTime> BurstEndDue() const;
    // Bytes handed over and not yet delivered.
    size_t InFlight() const;

private:
    struct Period {
        SimTime epoch;
        uint64_t count = 0;     // bytes handed over in this period
        uint64_t delivered = 0; // of them, bytes taken by TakeDue
    };
    nanoseconds Offset(uint64_t bytes) const; // transmit time of bytes
    uint64_t DoneBy(const Period &p, SimTime t) const;

    uint32_t baud_;
    nanoseconds latency_;
    std::deque<Period> periods_;
};
