#pragma once
// The texts of the download's progress on a console: the figures the loader
// window shows (packet, bytes sent, file size) with the rate so far and the
// time that rate leaves.

#include <cstdint>
#include <string>

struct ProgressFigures {
    uint32_t packet = 0;
    uint32_t bytesSent = 0;
    uint32_t fileSize = 0;
    double seconds = 0; // since the transfer started
};

// Whole percent of the file acknowledged, 0..100.
int ProgressPercent(const ProgressFigures &figures);

// One line for a terminal, redrawn in place:
// "Packet 12  [#####---------------]  12288/65536 bytes  18%  5.1 kB/s  0:10 left"
std::string ProgressBarLine(const ProgressFigures &figures, int barWidth = 20);

// One line of a log: "Packet 12: 12288 of 65536 bytes (18%), 5.1 kB/s, 0:10 left"
std::string ProgressLogLine(const ProgressFigures &figures);
