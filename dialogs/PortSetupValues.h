#pragma once
// The settings the Setup dialog edits, and its rules that need no
// window: the baud table, which entries start selected, what a choice from a
// list changes, and how colour texts come back.

#include "dialogs/PortList.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <string>

struct PortSetupValues {
    int32_t commPort = 0;
    std::string portName; // device path; empty: the one derived from commPort
    int32_t baudrate = 0;
    uint32_t appendLF = 0;
    uint32_t flowEnabled = 0;
    uint32_t smallPackets = 0;
    uint32_t autoReconnect = 0;
    std::string textColor;
    std::string backgroundColor;
};

// The dialog's copy is taken from the profile's settings when it opens and
// handed back only on OK; the other settings are left alone.
PortSetupValues SetupValuesOf(const Settings &settings);
void ApplySetupValues(const PortSetupValues &values, Settings &settings);

inline constexpr std::array<int32_t, 15> kBaudRates{1200,   2400,   4800,   9600,   14400,
                                                    19200,  38400,  56000,  57600,  115200,
                                                    128000, 230400, 256000, 460800, 921600};

// Index of the rate in kBaudRates, or -1: a rate outside the table starts
// with nothing selected and stays as it is unless the user picks one.
int FindBaudIndex(int32_t baudrate);

// The device the stored port stands for: the stored path, or the one its
// number names.
std::string StoredDevicePath(const PortSetupValues &values);

// The list entry the dialog selects on opening, or -1.
int SelectedPortIndex(const std::vector<PortEntry> &ports, PortScheme scheme,
                      const PortSetupValues &values);

// A choice from the port list. The numbered scheme stores the number and
// drops any path, so the number decides; the path scheme stores the path.
void ChoosePort(PortSetupValues &values, const PortEntry &entry, PortScheme scheme);

// Colour texts are stored upper-cased: ddddff comes back as DDDDFF.
std::string UpperCaseColorText(std::string text);
