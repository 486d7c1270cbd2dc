// Port discovery and the rules for what the Setup dialog selects.
#include "dialogs/PortSetupValues.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A port system made of data: which devices exist and what probing each finds.
struct FakeProber : PortProber {
    std::vector<std::string> devices, probed;
    std::map<std::string, PortProbe> outcomes; // missing: Unavailable
    std::vector<std::string> ListDevices() override { return devices; }
    PortProbe Probe(const std::string &path) override
    {
        probed.push_back(path);
        return outcomes.count(path) ? outcomes.at(path) : PortProbe::Unavailable;
    }
};

std::string ComPath(int n) { return "\\\\.\\COM" + std::to_string(n); }

using Names = std::vector<std::string>;

Names DisplayNames(const std::vector<PortEntry> &ports)
{
    Names names;
    for (const PortEntry &entry : ports)
        names.push_back(entry.displayName);
    return names;
}

int Selected(const std::vector<PortEntry> &ports, PortScheme scheme, int32_t commPort, const std::string &path = "")
{
    PortSetupValues values;
    values.commPort = commPort;
    values.portName = path;
    return SelectedPortIndex(ports, scheme, values);
}

TEST(NumberedPorts, ProbesTheFirst32ListsTheRestUnprobedAndSelectsTheStoredNumber)
{
    FakeProber prober;
    prober.outcomes = {{ComPath(1), PortProbe::Serial},      {ComPath(2), PortProbe::NotSerial},
                       {ComPath(3), PortProbe::Unavailable}, {ComPath(10), PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::Numbered);
    const Names names = DisplayNames(ports);
    EXPECT_EQ((Names{names[0], names[1], names[2], names.back()}), (Names{"COM1", "COM10", "COM33", "COM99"}));
    EXPECT_TRUE(prober.probed.size() == 32 && prober.probed.back() == ComPath(32)) << prober.probed.size();
    const std::pair<int32_t, int> selections[] = {{10, 1}, {40, 2 + 40 - 33}, {3, -1}, {100, -1}};
    for (const auto &[stored, index] : selections)
        EXPECT_EQ(Selected(ports, PortScheme::Numbered, stored, "/dev/ttyS1"), index) << "stored COM" << stored;
    PortSetupValues chosen;
    chosen.portName = "/dev/ttyS1";
    ChoosePort(chosen, ports[1], PortScheme::Numbered);
    EXPECT_TRUE(chosen.commPort == 10 && chosen.portName.empty()) << "a choice drops the stored path";
}

TEST(DevicePorts, ListsFreeSerialDevicesOnceInNaturalOrder)
{
    FakeProber prober;
    const std::string virtualPort = "/run/user/1000/verrin-sim/port";
    prober.devices = {"/dev/ttyS10", "/dev/ttyS2",  "/dev/ttyUSB0", "/dev/ttyS0",
                      virtualPort,   "/dev/ttyS2",  "/dev/ttyACM1", "/dev/ttyS3"};
    prober.outcomes = {{"/dev/ttyS10", PortProbe::Serial},       {"/dev/ttyS2", PortProbe::Serial},
                       {"/dev/ttyUSB0", PortProbe::Unavailable}, {"/dev/ttyS0", PortProbe::NotSerial},
                       {virtualPort, PortProbe::Serial},         {"/dev/ttyACM1", PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::DevicePaths);
    EXPECT_EQ(DisplayNames(ports), (Names{virtualPort, "ttyACM1", "ttyS2", "ttyS10"}));
    EXPECT_EQ(prober.probed.size(), 7u) << "each device is probed once";
    EXPECT_EQ(Selected(ports, PortScheme::DevicePaths, 3, "/dev/ttyUSB0"), -1) << "stored path not present";
    EXPECT_EQ(Selected(ports, PortScheme::DevicePaths, 3), DevicePathForPortNumber(3) == "/dev/ttyS2" ? 2 : -1)
        << "no path: the number's device";
}

} // namespace
