#include "dialogs/PortSetupValues.h"

#include "serial/PortNames.h"

#include <cctype>

PortSetupValues SetupValuesOf(const Settings &settings)
{
    PortSetupValues values;
    values.commPort = settings.commPort;
    values.portName = settings.portName;
    values.baudrate = settings.baudrate;
    values.appendLF = settings.appendLF;
    values.flowEnabled = settings.flowEnabled;
    values.smallPackets = settings.smallPackets;
    values.autoReconnect = settings.autoReconnect;
    values.textColor = settings.screenTextColor;
    values.backgroundColor = settings.screenBackgroundColor;
    return values;
}

void ApplySetupValues(const PortSetupValues &values, Settings &settings)
{
    settings.commPort = values.commPort;
    settings.portName = values.portName;
    settings.baudrate = values.baudrate;
    settings.appendLF = values.appendLF;
    settings.flowEnabled = values.flowEnabled;
    settings.smallPackets = values.smallPackets;
    settings.autoReconnect = values.autoReconnect;
    settings.screenTextColor = values.textColor;
    settings.screenBackgroundColor = values.backgroundColor;
}

int FindBaudIndex(int32_t baudrate)
{
    for (size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == baudrate)
            return static_cast<int>(i);
    }
    return -1;
}

std::string StoredDevicePath(const PortSetupValues &values)
{
    return values.portName.empty() ? DevicePathForPortNumber(values.commPort) : values.portName;
}

int SelectedPortIndex(const std::vector<PortEntry> &ports, PortScheme scheme,
                      const PortSetupValues &values)
{
    return FindPortIndex(ports, scheme, values.commPort, StoredDevicePath(values));
}

void ChoosePort(PortSetupValues &values, const PortEntry &entry, PortScheme scheme)
{
    if (scheme == PortScheme::Numbered) {
        values.commPort = entry.portNumber;
        values.portName.clear();
    } else {
        values.portName = entry.devicePath;
    }
}

std::string UpperCaseColorText(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
