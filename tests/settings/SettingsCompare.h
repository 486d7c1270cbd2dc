#pragma once
// Every field of the settings record, for comparing two records.

#include "settings/Settings.h"

#include <tuple>

inline auto Fields(const Settings &s)
{
    return std::tie(s.commPort, s.portName, s.baudrate, s.autoIncrement, s.appendLF, s.flowEnabled,
                    s.downloadPath, s.downloadFilename, s.smallPackets, s.bdAddr, s.sendCmd, s.sendHex,
                    s.sendCrLf, s.cmdName, s.sendContinuous, s.sendBlockSize, s.sendMsPause,
                    s.screenTextColor, s.screenBackgroundColor, s.debugMode);
}

// A record in which every field differs from its default.
inline Settings NonDefaultSettings()
{
    Settings s;
    s.commPort = 7;
    s.portName = "/dev/ttyUSB1";
    s.baudrate = 9600;
    s.autoIncrement = 0;
    s.appendLF = 0;
    s.flowEnabled = 0;
    s.downloadPath = "C:\\fw\\";
    s.downloadFilename = "other.bin";
    s.smallPackets = 1;
    s.bdAddr = "00:11:22:33:44:55";
    for (size_t i = 0; i < 10; ++i) {
        s.sendCmd[i] = "at+ab cmd \"" + std::to_string(i) + "\" \\n";
        s.sendHex[i] = 1;
        s.sendCrLf[i] = s.sendCrLf[i] ? 0 : 1;
        s.cmdName[i] = "Name " + std::to_string(i);
    }
    s.sendContinuous = 0;
    s.sendBlockSize = 64;
    s.sendMsPause = -5;
    s.screenTextColor = "FF0000";
    s.screenBackgroundColor = "00ff00";
    s.debugMode = 1;
    return s;
}
