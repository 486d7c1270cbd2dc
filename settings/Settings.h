#pragma once
// The settings of one profile, as the main window holds them while it runs.
// Index i of the command arrays is command button i + 1.

#include <array>
#include <cstdint>
#include <string>

struct Settings {
    int32_t commPort = 2;
    std::string portName; // device path on Linux; empty: derived from commPort
    int32_t baudrate = 115200;
    uint32_t autoIncrement = 1;
    uint32_t appendLF = 1;
    uint32_t flowEnabled = 1;
    std::string downloadPath;
    std::string downloadFilename = "fwimg.bin";
    uint32_t smallPackets = 0;
    std::string bdAddr;
    std::array<std::string, 10> sendCmd{
        "at+ab SendData FFFF \"Hello World\\n\"", "", "", "", "at+ab config", "", "", "",
        "at+ab reset", "100"};
    std::array<uint32_t, 10> sendHex{};
    std::array<uint32_t, 10> sendCrLf{1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    std::array<std::string, 10> cmdName{"Send Data", "", "", "", "Config", "", "", "", "Reset", ""};
    uint32_t sendContinuous = 1;
    int32_t sendBlockSize = 256;
    int32_t sendMsPause = 100;
    std::string screenTextColor = "000000";
    std::string screenBackgroundColor = "DDDDFF";
    uint32_t autoReconnect = 0; // reopen the port when its device comes back
    uint32_t debugMode = 0;
};
