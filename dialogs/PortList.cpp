#include "dialogs/PortList.h"

#include "serial/PortNames.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::vector<PortEntry> NumberedPorts(PortProber &prober)
{
    std::vector<PortEntry> ports;
    for (int32_t n = 1; n <= kHighestPortNumber; ++n) {
        const std::string devicePath = "\\\\.\\COM" + std::to_string(n);
        if (n <= kHighestProbedPortNumber && prober.Probe(devicePath) != PortProbe::Serial)
            continue;
        ports.push_back({devicePath, "COM" + std::to_string(n), n});
    }
    return ports;
}

std::vector<PortEntry> DevicePathPorts(PortProber &prober)
{
    std::vector<PortEntry> ports;
    std::set<std::string> seen;
    for (const std::string &devicePath : prober.ListDevices()) {
        if (!seen.insert(devicePath).second)
            continue;
        if (prober.Probe(devicePath) == PortProbe::Serial)
            ports.push_back({devicePath, PortDisplayName(devicePath), 0});
    }
    std::stable_sort(ports.begin(), ports.end(), [](const PortEntry &a, const PortEntry &b) {
        return NaturalLess(a.displayName, b.displayName);
    });
    return ports;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

} // namespace

std::vector<PortEntry> DiscoverPorts(PortProber &prober, PortScheme scheme)
{
    return scheme == PortScheme::Numbered ? NumberedPorts(prober) : DevicePathPorts(prober);
}

bool NaturalLess(const std::string &a, const std::string &b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the two numbers by value: without leading zeros, the
            // longer run is the larger; equal lengths compare digit by digit.
            size_t runA = i, runB = j;
            while (runA < a.size() && IsDigit(a[runA]))
                ++runA;
            while (runB < b.size() && IsDigit(b[runB]))
                ++runB;
            size_t startA = i, startB = j;
            while (startA + 1 < runA && a[startA] == '0')
                ++startA;
            while (startB + 1 < runB && b[startB] == '0')
                ++startB;
            const size_t lengthA = runA - startA, lengthB = runB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB;
            const int order = a.compare(startA, lengthA, b, startB, lengthB);
            if (order != 0)
                return order < 0;
            // Same value: fewer leading zeros first, so the order stays total.
            if (runA - i != runB - j)
                return runA - i < runB - j;
            i = runA;
            j = runB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

int FindPortIndex(const std::vector<PortEntry> &ports, PortScheme scheme, int32_t portNumber,
                  const std::string &devicePath)
{
    for (size_t i = 0; i < ports.size(); ++i) {
        const bool same = scheme == PortScheme::Numbered ? ports[i].portNumber == portNumber
                                                         : ports[i].devicePath == devicePath;
        if (same)
            return static_cast<int>(i);
    }
    return -1;
}
