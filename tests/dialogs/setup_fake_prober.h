#pragma once
// A port system made of data: which devices exist and what probing each finds.

#include "dialogs/PortList.h"

#include <map>
#include <string>
#include <vector>

class FakeProber : public PortProber {
public:
    std::vector<std::string> devices;
    std::map<std::string, PortProbe> outcomes; // missing: Unavailable
    std::vector<std::string> probed;

    std::vector<std::string> ListDevices() override { return devices; }
    PortProbe Probe(const std::string &devicePath) override
    {
        probed.push_back(devicePath);
        const auto it = outcomes.find(devicePath);
        return it == outcomes.end() ? PortProbe::Unavailable : it->second;
    }
};

inline std::string ComPath(int n) { return "\\\\.\\COM" + std::to_string(n); }
