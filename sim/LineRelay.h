#pragma once
// verrin-line: two pseudo-terminals joined by an emulated serial line. Each
// direction is paced on its own to the byte time at the given rate and
// delayed by a one-way latency, so two programs can be measured over the same
// line as they would over a real cable.

#include <cstdint>
#include <string>

struct LineOptions {
    std::string linkA; // empty: $XDG_RUNTIME_DIR/verrin-line/a
    std::string linkB; // empty: $XDG_RUNTIME_DIR/verrin-line/b
    uint32_t rate = 115200; // 0: no pacing
    uint32_t latencyMs = 0;
};

// Relays until a termination signal; returns the exit code.
int RunLine(const LineOptions &options);
