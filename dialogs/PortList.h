#pragma once
// The list of ports the Setup dialog offers: which ports exist, which of them
// are free serial ports, and in what order a person expects to read them.

#include <cstdint>
#include <string>
#include <vector>

// What a probe of one device found.
enum class PortProbe {
    Serial,      // opened, and it is a serial port (or its kind could not be read)
    NotSerial,   // opened, but it is some other kind of device
    Unavailable  // absent, or held open by another program
};

// The operating system's view of the ports. The Qt adapter (CPortProber)
// looks at the real devices; tests use a fake.
class PortProber {
public:
    virtual ~PortProber() = default;
    // Device paths that exist as serial ports, in any order. Only the device
    // path scheme asks for them.
    virtual std::vector<std::string> ListDevices() = 0;
    // Opens the device exclusively for a moment and closes it again.
    virtual PortProbe Probe(const std::string &devicePath) = 0;
};

// How ports are found and named.
enum class PortScheme {
    // COM1..COM99: COM1..COM32 are probed one by one and listed when they
    // are free serial ports; COM33..COM99 are listed without a probe.
    Numbered,
    // The devices the system lists, each probed: ttyS0, ttyUSB0, a
    // pseudo-terminal's published path.
    DevicePaths
};

#ifdef _WIN32
inline constexpr PortScheme kNativePortScheme = PortScheme::Numbered;
#else
inline constexpr PortScheme kNativePortScheme = PortScheme::DevicePaths;
#endif

inline constexpr int32_t kHighestPortNumber = 99;
inline constexpr int32_t kHighestProbedPortNumber = 32;

struct PortEntry {
    std::string devicePath;
    std::string displayName; // the list's text: COM7, ttyUSB0, or a path
    int32_t portNumber = 0;  // n of COMn; 0 for the device path scheme
};

// The port list in display order: Numbered in ascending number, DevicePaths
// sorted by NaturalLess on the display name, each path once.
std::vector<PortEntry> DiscoverPorts(PortProber &prober, PortScheme scheme);

// Orders texts the way a person reads them: runs of digits compare by their
// value, so ttyS2 comes before ttyS10 and COM1 before COM10.
bool NaturalLess(const std::string &a, const std::string &b);

// The index of the stored port in the list, or -1 when it is not there.
// Numbered matches the port number; DevicePaths matches the device path.
int FindPortIndex(const std::vector<PortEntry> &ports, PortScheme scheme, int32_t portNumber,
                  const std::string &devicePath);
