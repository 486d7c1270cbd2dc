#pragma once
// The settings a saver process writes in round `round` of profile `profile`:
// every field that is loaded names both, so a value left from another round
// or profile shows.

#include "settings/Settings.h"

#include <string>

inline Settings RoundSettings(const std::string &profile, int round)
{
    const std::string tag = profile + "-" + std::to_string(round);
    Settings s;
    s.commPort = round;
    s.portName = "/dev/" + tag;
    s.baudrate = 1000 * round + profile[0];
    s.autoIncrement = static_cast<uint32_t>(round);
    s.appendLF = s.flowEnabled = static_cast<uint32_t>(round % 2);
    s.downloadPath = "C:\\" + tag + "\\";
    s.downloadFilename = tag + ".bin";
    s.smallPackets = static_cast<uint32_t>(round);
    for (size_t i = 0; i < 10; ++i) {
        s.sendCmd[i] = "at+ab " + tag + " " + std::to_string(i);
        s.sendHex[i] = s.sendCrLf[i] = static_cast<uint32_t>(round + i);
        s.cmdName[i] = tag + "/" + std::to_string(i);
    }
    s.sendContinuous = static_cast<uint32_t>(round);
    s.sendBlockSize = round;
    s.sendMsPause = round;
    s.screenTextColor = tag;
    s.screenBackgroundColor = tag + "bg";
    return s;
}
