// Port discovery, the port and baud selection rules and the Setup dialog's
// copy of the settings.
#include "dialogs/PortList.h"
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

TEST(NumberedPorts, WithoutHardwareListsCom33ToCom99AfterProbingOnlyTheFirst32)
{
    FakeProber prober;
    const auto ports = DiscoverPorts(prober, PortScheme::Numbered);

    ASSERT_EQ(ports.size(), 67u);
    EXPECT_EQ(ports.front().displayName, "COM33");
    EXPECT_EQ(ports.back().displayName, "COM99");
    EXPECT_EQ(ports.front().portNumber, 33);
    EXPECT_EQ(ports.front().devicePath, ComPath(33));
    ASSERT_EQ(prober.probed.size(), 32u);
    EXPECT_EQ(prober.probed.front(), ComPath(1));
    EXPECT_EQ(prober.probed.back(), ComPath(32));
}

TEST(NumberedPorts, ListsFreeSerialPortsInAscendingOrder)
{
    FakeProber prober;
    prober.outcomes = {{ComPath(1), PortProbe::Serial},      {ComPath(2), PortProbe::NotSerial},
                       {ComPath(3), PortProbe::Unavailable}, {ComPath(10), PortProbe::Serial},
                       {ComPath(32), PortProbe::Serial},     {ComPath(33), PortProbe::Unavailable}};
    const auto names = Names(DiscoverPorts(prober, PortScheme::Numbered));

    ASSERT_EQ(names.size(), 3u + 67u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"COM1", "COM10", "COM32", "COM33"}));
}

TEST(NumberedPorts, SelectionFollowsTheStoredNumber)
{
    FakeProber prober;
    prober.outcomes = {{ComPath(2), PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::Numbered);
    struct Case {
        int32_t stored;
        int expected;
    } cases[] = {{2, 0}, {40, 1 + 40 - 33}, {99, 67}, {3, -1}, {0, -1}, {100, -1}};
    for (const Case &c : cases) {
        PortSetupValues values;
        values.commPort = c.stored;
        values.portName = "/dev/ttyUSB0"; // the numbered scheme looks at the number only
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
    prober.outcomes = {{"/dev/ttyS10", PortProbe::Serial},     {"/dev/ttyS2", PortProbe::Serial},
                       {"/dev/ttyUSB0", PortProbe::Unavailable}, {"/dev/ttyS0", PortProbe::NotSerial},
                       {virtualPort, PortProbe::Serial},         {"/dev/ttyACM1", PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::DevicePaths);

    EXPECT_EQ(Names(ports),
              (std::vector<std::string>{virtualPort, "ttyACM1", "ttyS2", "ttyS10"}));
    EXPECT_EQ(ports[2].devicePath, "/dev/ttyS2");
    EXPECT_EQ(prober.probed.size(), 7u) << "each device is probed once";
}

TEST(DevicePorts, SelectionFollowsTheStoredDevice)
{
    FakeProber prober;
    prober.devices = {"/dev/ttyS2", "/dev/ttyUSB0"};
    prober.outcomes = {{"/dev/ttyS2", PortProbe::Serial}, {"/dev/ttyUSB0", PortProbe::Serial}};
    const auto ports = DiscoverPorts(prober, PortScheme::DevicePaths);
    struct Case {
        const char *name;
        int32_t commPort;
        std::string portName;
        int expected;
    } cases[] = {
        {"stored path", 1, "/dev/ttyUSB0", 1},
        {"stored path not present", 3, "/dev/ttyUSB7", -1},
        {"path from the number", 3, "", ports[0].devicePath == DevicePathForPortNumber(3) ? 0 : -1},
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
    } ordered[] = {{"ttyS2", "ttyS10"}, {"COM1", "COM10"},   {"COM9", "COM33"},
                   {"ttyACM0", "ttyS0"}, {"ttyS0", "ttyUSB0"}, {"ttyS", "ttyS0"},
                   {"ttyS02", "ttyS10"}, {"ttyS2", "ttyS02"},  {"/run/x/port", "ttyS0"},
                   {"usb1-2", "usb1-10"}};
    for (const Case &c : ordered) {
        EXPECT_TRUE(NaturalLess(c.a, c.b)) << c.a << " before " << c.b;
        EXPECT_FALSE(NaturalLess(c.b, c.a)) << c.b << " not before " << c.a;
    }
    EXPECT_FALSE(NaturalLess("ttyS2", "ttyS2"));
}

TEST(SetupValues, BaudSelectionAndChoices)
{
    EXPECT_EQ(FindBaudIndex(1200), 0);
    EXPECT_EQ(FindBaudIndex(115200), 9);
    EXPECT_EQ(FindBaudIndex(921600), 14);
    EXPECT_EQ(FindBaudIndex(300), -1);

    PortSetupValues values;
    values.commPort = 2;
    values.portName = "/dev/ttyS1";
    ChoosePort(values, {ComPath(7), "COM7", 7}, PortScheme::Numbered);
    EXPECT_EQ(values.commPort, 7);
    EXPECT_EQ(values.portName, "") << "the number decides in the numbered scheme";

    ChoosePort(values, {"/dev/ttyUSB0", "ttyUSB0", 0}, PortScheme::DevicePaths);
    EXPECT_EQ(values.portName, "/dev/ttyUSB0");
    EXPECT_EQ(values.commPort, 7);
}

TEST(SetupValues, CopyCarriesTheSevenSettingsOnly)
{
    Settings settings;
    settings.commPort = 5;
    settings.portName = "/dev/ttyUSB1";
    settings.baudrate = 300;
    settings.appendLF = 0;
    settings.flowEnabled = 0;
    settings.smallPackets = 1;
    settings.screenTextColor = "123456";
    settings.screenBackgroundColor = "ABCDEF";

    PortSetupValues values = SetupValuesOf(settings);
    values.commPort = 9;
    values.portName = "/dev/ttyACM0";
    values.baudrate = 9600;
    values.appendLF = 1;
    values.flowEnabled = 1;
    values.smallPackets = 0;
    values.textColor = "000000";
    values.backgroundColor = "FFFFFF";

    Settings target = settings;
    target.downloadFilename = "other.bin";
    ApplySetupValues(values, target);
    EXPECT_EQ(target.commPort, 9);
    EXPECT_EQ(target.portName, "/dev/ttyACM0");
    EXPECT_EQ(target.baudrate, 9600);
    EXPECT_EQ(target.appendLF, 1u);
    EXPECT_EQ(target.flowEnabled, 1u);
    EXPECT_EQ(target.smallPackets, 0u);
    EXPECT_EQ(target.screenTextColor, "000000");
    EXPECT_EQ(target.screenBackgroundColor, "FFFFFF");
    EXPECT_EQ(target.downloadFilename, "other.bin");
}

TEST(SetupValues, ColourTextsComeBackUpperCased)
{
    EXPECT_EQ(UpperCaseColorText("ddddff"), "DDDDFF");
    EXPECT_EQ(UpperCaseColorText("a1B2c3"), "A1B2C3");
    EXPECT_EQ(UpperCaseColorText("xyz"), "XYZ");
    EXPECT_EQ(UpperCaseColorText(""), "");
}

} // namespace
