// Port discovery and the rules for what the Setup dialog selects.
#include "dialogs/PortSetupValues.h"
#include "serial/PortNames.h"
#include "setup_fake_prober.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const std::vector<PortEntry> &ports)
{
    std::vector<std::string> names;
    for (const PortEntry &entry : ports)
        names.push_back(entry.displayName);
    return names;
}

TEST(NumberedPorts, ProbesTheFirst32AndListsTheRestUnprobed)
{
    FakeProber noHardware;
    const auto ports = DiscoverPorts(noHardware, PortScheme::Numbered);
    ASSERT_EQ(ports.size(), 67u);
    EXPECT_EQ(ports.front().displayName, "COM33");
    EXPECT_EQ(ports.back().displayName, "COM99");
    ASSERT_EQ(noHardware.probed.size(), 32u);
    EXPECT_EQ(noHardware.probed.back(), ComPath(32));

    FakeProber prober;
    prober.outcomes = {{ComPath(1), PortProbe::Serial},      {ComPath(2), PortProbe::NotSerial},
                       {ComPath(3), PortProbe::Unavailable}, {ComPath(10), PortProbe::Serial}};
    const auto names = Names(DiscoverPorts(prober, PortScheme::Numbered));
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"COM1", "COM10", "COM33"}));
}

TEST(NumberedPorts, SelectionFollowsTheStoredNumber)
{
    FakeProber prober;
    prober.outcomes = {{ComPath(2), PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::Numbered);
    struct Case {
        int32_t stored;
        int expected;
    } cases[] = {{2, 0}, {40, 1 + 40 - 33}, {3, -1}, {100, -1}};
    for (const Case &c : cases) {
        PortSetupValues values;
        values.commPort = c.stored;
        EXPECT_EQ(SelectedPortIndex(ports, PortScheme::Numbered, values), c.expected)
            << "stored COM" << c.stored;
    }
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

    EXPECT_EQ(Names(ports), (std::vector<std::string>{virtualPort, "ttyACM1", "ttyS2", "ttyS10"}));
    EXPECT_EQ(prober.probed.size(), 7u) << "each device is probed once";

    struct Case {
        const char *name;
        int32_t commPort;
        std::string portName;
        int expected;
    } cases[] = {
        {"stored path", 1, "/dev/ttyS10", 3},
        {"stored path not present", 3, "/dev/ttyUSB0", -1},
        {"no path: the number's device", 3, "", DevicePathForPortNumber(3) == "/dev/ttyS2" ? 2 : -1},
    };
    for (const Case &c : cases) {
        PortSetupValues values;
        values.commPort = c.commPort;
        values.portName = c.portName;
        EXPECT_EQ(SelectedPortIndex(ports, PortScheme::DevicePaths, values), c.expected) << c.name;
    }
}

TEST(NaturalOrder, NumbersCompareByValue)
{
    struct Case {
        const char *a, *b;
    } ordered[] = {{"ttyS2", "ttyS10"}, {"COM1", "COM10"},     {"COM9", "COM33"},
                   {"ttyACM0", "ttyS0"}, {"ttyS", "ttyS0"},     {"ttyS02", "ttyS10"},
                   {"ttyS2", "ttyS02"},  {"/run/x/port", "ttyS0"}, {"usb1-2", "usb1-10"}};
    for (const Case &c : ordered) {
        EXPECT_TRUE(NaturalLess(c.a, c.b)) << c.a << " before " << c.b;
        EXPECT_FALSE(NaturalLess(c.b, c.a)) << c.b << " not before " << c.a;
    }
    EXPECT_FALSE(NaturalLess("ttyS2", "ttyS2"));
}

TEST(PortChoice, NumberedSchemeDropsTheStoredPath)
{
    PortSetupValues values;
    values.portName = "/dev/ttyS1";
    ChoosePort(values, {ComPath(7), "COM7", 7}, PortScheme::Numbered);
    EXPECT_EQ(values.commPort, 7);
    EXPECT_EQ(values.portName, "") << "the number must decide";
}

} // namespace
