#include "serial/PortNames.h"

std::string DevicePathForPortNumber(int32_t portNumber)
{
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(portNumber);
#else
    return "/dev/ttyS" + std::to_string(portNumber - 1);
#endif
}

std::string PortLostMessage(const std::string &portDisplayName, const std::string &systemReason)
{
    return "Port " + portDisplayName + " is gone: its device was removed or closed (" + systemReason + ").";
}

std::string PortDisplayName(const std::string &devicePath)
{
    static const std::string windowsPrefix = "\\\\.\\";
    static const std::string devPrefix = "/dev/";
    if (devicePath.compare(0, windowsPrefix.size(), windowsPrefix) == 0)
        return devicePath.substr(windowsPrefix.size());
    if (devicePath.compare(0, devPrefix.size(), devPrefix) == 0 &&
        devicePath.find('/', devPrefix.size()) == std::string::npos)
        return devicePath.substr(devPrefix.size());
    return devicePath;
}
