#pragma once
// Settings records for the tests: every field, for comparing two records, and
// a record whose every field differs from its default.

#include "settings/Settings.h"

#include <string>
#include <tuple>

inline auto Fields(const Settings &s)
{
    return std::tie(s.commPort, s.portName, s.baudrate, s.autoIncrement, s.appendLF, s.flowEnabled,
                    s.downloadPath, s.downloadFilename, s.smallPackets, s.bdAddr, s.sendCmd, s.sendHex,
                    s.sendCrLf, s.cmdName, s.sendContinuous, s.sendBlockSize, s.sendMsPause,
                    s.screenTextColor, s.screenBackgroundColor, s.autoReconnect, s.debugMode);
}

// For n > 2, every field differs from its default and names `tag` or `n`, so
// that a value left from another sample shows. Texts hold the quotes and
// backslashes that the settings file escapes; the pause is negative.
inline Settings Sample(const std::string &tag, int n)
{
    Settings s;
    s.commPort = s.baudrate = s.sendBlockSize = n;
    s.sendMsPause = -n;
    s.autoIncrement = s.appendLF = s.flowEnabled = s.smallPackets = s.sendContinuous = s.autoReconnect = s.debugMode =
        uint32_t(n);
    s.portName = "/dev/tty" + tag;
    s.downloadPath = "C:\\" + tag + "\\";
    s.downloadFilename = s.bdAddr = s.screenTextColor = s.screenBackgroundColor = tag;
    for (size_t i = 0; i < 10; ++i) {
        s.sendCmd[i] = "at+ab \"" + tag + "\" \\n" + std::to_string(i);
        s.cmdName[i] = tag + std::to_string(i);
        s.sendHex[i] = s.sendCrLf[i] = uint32_t(n + i);
    }
    return s;
}
