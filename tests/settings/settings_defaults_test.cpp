// A profile loaded for the first time stores every value with its default:
// the table below is the profile's settings as users know them, written out
// by hand, not taken from the code.
#include "settings/Registry.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using V = RegValue;
using Values = std::map<std::string, RegValue>;

// The registry as a map of values under one key.
class MapRegistry : public Registry {
public:
    Values values;

protected:
    RegistryOpening Open() override
    {
        struct MapKey : RegistrySession, RegistryKey {
            Values &v;
            explicit MapKey(Values &values) : v(values) {}
            RegistryKey *Key(const std::string &) override { return this; }
            bool Close() override { return true; }
            std::optional<RegValue> Query(const std::string &name) override
            {
                const auto it = v.find(name);
                return it == v.end() ? std::nullopt : std::optional<RegValue>(it->second);
            }
            bool Set(const std::string &name, const RegValue &value) override
            {
                v[name] = value;
                return true;
            }
        };
        return {std::make_unique<MapKey>(values), std::nullopt};
    }
};

} // namespace

TEST(SettingsDefaults, AFirstLoadStoresEveryValueWithItsDefault)
{
    Values expected = {
        {"CommPort", V::Dword(2)},
        {"Baudrate", V::Dword(115200)},
        {"AutoIncrement", V::Dword(1)},
        {"AppendLF", V::Dword(1)},
        {"FlowEnabled", V::Dword(1)},
        {"DownloadPath", V::String("")},
        {"DownloadFilename", V::String("fwimg.bin")},
        {"SmallPackets", V::Dword(0)},
        {"SendCmd1", V::String("at+ab SendData FFFF \"Hello World\\n\"")},
        {"SendCmd5", V::String("at+ab config")},
        {"SendCmd9", V::String("at+ab reset")},
        {"SendCmd10", V::String("100")},
        {"CmdName1", V::String("Send Data")},
        {"CmdName5", V::String("Config")},
        {"CmdName9", V::String("Reset")},
        {"SendCrLf10", V::Dword(0)},
        {"SendContinuous", V::Dword(1)},
        {"SendBlockSize", V::Dword(256)},
        {"SendMsPause", V::Dword(100)},
        {"ScreenTextColor", V::String("000000")},
        {"ScreenBackgroundColor", V::String("DDDDFF")},
        {"AutoReconnect", V::Dword(0)},
    };
    for (int n = 1; n <= 10; ++n) {
        const std::string i = std::to_string(n);
        expected.insert({"SendHex" + i, V::Dword(0)});
        if (n <= 9)
            expected.insert({"SendCrLf" + i, V::Dword(1)});
        expected.insert({"SendCmd" + i, V::String("")});
        expected.insert({"CmdName" + i, V::String("")});
    }
    if (kKeepsPortName)
        expected.insert({"PortName", V::String("")});
    ASSERT_EQ(expected.size(), kKeepsPortName ? 55u : 54u);

    MapRegistry registry;
    Settings settings; // as the window holds it right after start
    LoadSettings(registry, "A", settings);
    EXPECT_EQ(registry.values, expected);
    EXPECT_EQ(settings.commPort, 2);
    EXPECT_EQ(settings.sendCmd[0], "at+ab SendData FFFF \"Hello World\\n\"");
}
