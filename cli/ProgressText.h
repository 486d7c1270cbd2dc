#pragma once
// The texts of the download's progress on a console: the figures the loader
// window shows (packet, bytes sent, file size) with the rate so far and the
// time that rate leaves.

#include "transfer/TrayRules.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

struct ProgressFigures {
    uint32_t packet = 0;
    uint32_t bytesSent = 0;
    uint32_t fileSize = 0;
    double seconds = 0; // since the transfer started
};

// Whole percent of the file acknowledged, 0..100.
int ProgressPercent(const ProgressFigures &figures);

// One download's figures as a console follows them: timed from its file
// size, with the tenth of the file at which a log writes its next line.
struct ProgressTrack {
    using Clock = std::chrono::steady_clock;
    ProgressFigures figures;
    Clock::time_point start = Clock::now();
    int nextLogPercent = 10;

    void Start(uint32_t fileSize)
    {
        figures.fileSize = fileSize;
        start = Clock::now();
        nextLogPercent = 10;
    }
    // Each true when the figure changed.
    bool SetBytesSent(uint32_t bytes) { return std::exchange(figures.bytesSent, bytes) != bytes; }
    bool SetPacket(uint32_t packet) { return std::exchange(figures.packet, packet) != packet; }
    // The time since the start, as of now.
    void Tick() { figures.seconds = std::chrono::duration<double>(Clock::now() - start).count(); }
    // Whether a log line is due (a new tenth of the file reached); moves the mark on.
    bool LogDue()
    {
        const int percent = ProgressPercent(figures);
        if (percent < nextLogPercent)
            return false;
        nextLogPercent = (percent / 10 + 1) * 10;
        return true;
    }
};

// One line for a terminal, redrawn in place:
// "Packet 12  [#####---------------]  12288/65536 bytes  18%  5.1 kB/s  0:10 left"
std::string ProgressBarLine(const ProgressFigures &figures, int barWidth = 20);

// One line of a log: "Packet 12: 12288 of 65536 bytes (18%), 5.1 kB/s, 0:10 left"
std::string ProgressLogLine(const ProgressFigures &figures);

// A tray of modules, one line per port. On a terminal, each redrawn in place,
// the port's name padded to portWidth and what the port does or how it ended:
// "port2  Packet 12    12288/65536 bytes  18%  5.1 kB/s   0:10 left  Loading Image"
std::string TrayBarLine(const std::string &port, size_t portWidth, const ProgressFigures &figures,
                        const std::string &status);

// A log line of one port: "port2: Packet 12: 12288 of 65536 bytes (18%), 5.1 kB/s, 0:10 left"
std::string TrayLogLine(const std::string &port, const ProgressFigures &figures);

// How a port's load ended, in one text: "Successful, version 1.4.2 -> 2.0.0",
// "Aborted: no answer from the module for 2000 ms".
std::string OutcomeText(const PortReport &report);

// The line a port's end leaves in a log: "port2: Successful, 262144 bytes in
// 24.2 s, 10.8 kB/s" or "port4: " and the outcome of a failure.
std::string TrayResultLine(const std::string &port, const PortReport &report);
