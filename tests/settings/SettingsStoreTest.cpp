// Loading and saving a profile's settings over an in-memory registry.

#include "settings/MemoryRegistry.h"
#include "settings/SettingsCompare.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

namespace {

const std::string kKeyA = "SOFTWARE\\Brondel\\Verrin\\A";
const std::string kKeyB = "SOFTWARE\\Brondel\\Verrin\\B";
using V = RegValue;

// Every value a first load stores, with its default.
MemoryRegistry::Values FreshProfile()
{
    MemoryRegistry::Values v = {
        {"CommPort", V::Dword(2)},          {"Baudrate", V::Dword(115200)},
        {"AutoIncrement", V::Dword(1)},     {"AppendLF", V::Dword(1)},
        {"FlowEnabled", V::Dword(1)},       {"DownloadPath", V::String("")},
        {"DownloadFilename", V::String("fwimg.bin")}, {"SmallPackets", V::Dword(0)},
        {"SendContinuous", V::Dword(1)},    {"SendBlockSize", V::Dword(256)},
        {"SendMsPause", V::Dword(100)},     {"ScreenTextColor", V::String("000000")},
        {"ScreenBackgroundColor", V::String("DDDDFF")},
    };
    if (kKeepsPortName)
        v["PortName"] = V::String("");
    const char *commands[10] = {R"(at+ab SendData FFFF "Hello World\n")", "", "", "", "at+ab config",
                                "", "", "", "at+ab reset", "100"};
    const char *captions[10] = {"Send Data", "", "", "", "Config", "", "", "", "Reset", ""};
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i + 1);
        v["SendCmd" + n] = V::String(commands[i]);
        v["SendHex" + n] = V::Dword(0);
        v["SendCrLf" + n] = V::Dword(i < 9 ? 1 : 0);
        v["CmdName" + n] = V::String(captions[i]);
    }
    return v;
}

TEST(SettingsStore, FirstLoadStoresEveryValueWithItsDefaultAndFirstSaveAddsTheRest)
{
    MemoryRegistry registry;
    Settings s = NonDefaultSettings();
    s.appendLF = s.flowEnabled = 1; // what the main window holds right after start
    s.bdAddr.clear();
    LoadSettings(registry, "A", s);
    EXPECT_EQ(registry.keys.size(), 1u);
    EXPECT_EQ(registry.Key(kKeyA), FreshProfile());
    EXPECT_EQ(Fields(s), Fields(Settings{}));

    SaveSettings(registry, "A", s);
    MemoryRegistry::Values saved = FreshProfile();
    saved["BdAddr"] = V::String("");
    saved["DebugMode"] = V::Dword(0);
    EXPECT_EQ(registry.Key(kKeyA), saved);
}

TEST(SettingsStore, SavedValuesComeBackExceptBdAddrAndDebugMode)
{
    MemoryRegistry registry;
    const Settings saved = NonDefaultSettings();
    SaveSettings(registry, "A", saved);
    Settings loaded;
    loaded.bdAddr = "held by the window";
    loaded.debugMode = 1;
    LoadSettings(registry, "A", loaded);

    Settings expected = saved;
    expected.bdAddr = "held by the window";
    expected.debugMode = 0;
    if (!kKeepsPortName)
        expected.portName.clear();
    EXPECT_EQ(Fields(loaded), Fields(expected));
}

TEST(SettingsStore, DeletedValueComesBackWithItsDefault)
{
    MemoryRegistry registry;
    Settings s;
    registry.Key(kKeyA)["SendCmd5"] = V::String("at+ab other");
    LoadSettings(registry, "A", s);
    ASSERT_EQ(s.sendCmd[4], "at+ab other");

    registry.Key(kKeyA).erase("SendCmd5");
    LoadSettings(registry, "A", s);
    EXPECT_EQ(s.sendCmd[4], "at+ab config");
    EXPECT_EQ(registry.Key(kKeyA)["SendCmd5"], V::String("at+ab config"));
}

TEST(SettingsStore, NeverUsedProfileTakesTheHeldFlowAndAppendLF)
{
    MemoryRegistry registry;
    registry.Key(kKeyA)["FlowEnabled"] = V::Dword(0);
    registry.Key(kKeyA)["AppendLF"] = V::Dword(0);
    Settings s;
    LoadSettings(registry, "A", s);
    LoadSettings(registry, "B", s);
    EXPECT_EQ(s.flowEnabled, 0u);
    EXPECT_EQ(s.appendLF, 0u);
    EXPECT_EQ(registry.Key(kKeyB)["FlowEnabled"], V::Dword(0));
    EXPECT_EQ(registry.Key(kKeyB)["AppendLF"], V::Dword(0));
}

TEST(SettingsStore, UnreadableValuesAreReplacedByTheirDefaults)
{
    const std::string longest(255, 'x');
    struct Case {
        const char *what;
        const char *name;
        RegValue stored;
        RegValue afterLoad;
    } cases[] = {
        {"number stored as text", "Baudrate", V::String("9600"), V::Dword(115200)},
        {"wider than 32 bits", "CommPort", V::Other("dword:123456789"), V::Dword(2)},
        {"64-bit value", "SendBlockSize", V::Other("hex(b):00,01,00,00,00,00,00,00"), V::Dword(256)},
        {"text stored as number", "SendCmd9", V::Dword(5), V::String("at+ab reset")},
        {"256 characters", "DownloadFilename", V::String(longest + "x"), V::String("fwimg.bin")},
        {"255 characters", "DownloadFilename", V::String(longest), V::String(longest)},
        {"flag stored as text", "FlowEnabled", V::String("0"), V::Dword(1)},
    };
    for (const Case &c : cases) {
        MemoryRegistry registry;
        registry.Key(kKeyA)[c.name] = c.stored;
        Settings s;
        LoadSettings(registry, "A", s);
        EXPECT_EQ(registry.Key(kKeyA)[c.name], c.afterLoad) << c.what;
    }
}

} // namespace
