// Probing a port on Windows: the port opens without sharing, so a port that
// any program holds fails to open; a device that opens but reports a service
// other than a serial port is left out.
#include "dialogs/CPortProber.h"

#include <windows.h>

// Windows ports have no lock files: the exclusive open says it all.
QStringList CPortProber::DefaultLockDirectories() { return {}; }

PortProbe CPortProber::Probe(const std::string &devicePath)
{
    HANDLE handle = ::CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return PortProbe::Unavailable;
    COMMPROP properties{};
    const bool otherService =
        ::GetCommProperties(handle, &properties) && properties.dwServiceMask != SP_SERIALCOMM;
    ::CloseHandle(handle);
    return otherService ? PortProbe::NotSerial : PortProbe::Serial;
}
