#pragma once
// How a port is named: the device to open and the text that stands for it in
// titles and lists.

#include <cstdint>
#include <string>

// The device path for a port number: "\\.\COMn" on Windows, /dev/ttyS(n-1)
// elsewhere (COM1 is the first on-board port, ttyS0).
std::string DevicePathForPortNumber(int32_t portNumber);

// The text that stands where "COM%d" stands: COMn on Windows; on Linux the
// device's name under /dev (ttyUSB0), or the whole path for a device elsewhere
// (a pseudo-terminal published by the virtual module).
std::string PortDisplayName(const std::string &devicePath);

// The port's own texts: the caption of its messages, and the message of a
// port that cannot be opened.
inline constexpr const char *kPortErrorCaption = "Comm Port Error";
inline constexpr const char *kPortNotAvailable = "Comm Port not available";

// The one message of a device that vanished while its port was open, with
// the system's reason: "Port ttyUSB0 is gone: its device was removed or
// closed (No such device)."
std::string PortLostMessage(const std::string &portDisplayName, const std::string &systemReason);
