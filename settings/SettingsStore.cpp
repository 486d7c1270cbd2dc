#include "settings/SettingsStore.h"

#include <type_traits>
#include <vector>

namespace {

std::string Numbered(const char *name, size_t index) { return name + std::to_string(index + 1); }

// A registry that takes the values written into it as entries of an export.
class ExportRegistry : public Registry {
public:
    std::vector<RegEntry> entries;

protected:
    RegistryOpening Open() override { return {std::make_unique<Session>(entries), std::nullopt}; }

private:
    class Session : public RegistrySession, RegistryKey {
    public:
        explicit Session(std::vector<RegEntry> &entries) : entries_(entries) {}
        RegistryKey *Key(const std::string &keyPath) override
        {
            keyPath_ = "HKEY_CURRENT_USER\\" + keyPath;
            return this;
        }
        bool Close() override { return true; }
        std::optional<RegValue> Query(const std::string &) override { return std::nullopt; }
        bool Set(const std::string &name, const RegValue &value) override
        {
            entries_.push_back({keyPath_, name, value});
            return true;
        }

    private:
        std::vector<RegEntry> &entries_;
        std::string keyPath_;
    };
};

template <typename T>
void Access(Registry &registry, AccessMode mode, const std::string &name, T &field)
{
    if constexpr (std::is_same_v<T, std::string>)
        registry.StringValue(mode, name, field);
    else
        registry.DwordValue(mode, name, field);
}

} // namespace

std::string ProfileKeyPath(const std::string &profile) { return kSettingsBasePath + profile; }

std::optional<LockBusy> LoadSettings(Registry &registry, const std::string &profile, Settings &s)
{
    const Settings d;
    Registry::Hold hold(registry);
    if (hold.Busy())
        return hold.Busy();
    registry.SetKeyPath(ProfileKeyPath(profile));
    const auto read = [&](const std::string &name, auto &field, const auto &defaultValue) {
        field = defaultValue;
        Access(registry, AccessMode::Read, name, field);
    };

    read("CommPort", s.commPort, d.commPort);
    if (kKeepsPortName)
        read("PortName", s.portName, d.portName);
    read("Baudrate", s.baudrate, d.baudrate);
    read("AutoIncrement", s.autoIncrement, d.autoIncrement);
    Access(registry, AccessMode::Read, "AppendLF", s.appendLF);
    Access(registry, AccessMode::Read, "FlowEnabled", s.flowEnabled);
    read("DownloadPath", s.downloadPath, d.downloadPath);
    read("DownloadFilename", s.downloadFilename, d.downloadFilename);
    read("SmallPackets", s.smallPackets, d.smallPackets);
    for (size_t i = 0; i < s.sendCmd.size(); ++i)
        read(Numbered("SendCmd", i), s.sendCmd[i], d.sendCmd[i]);
    for (size_t i = 0; i < s.sendHex.size(); ++i)
        read(Numbered("SendHex", i), s.sendHex[i], d.sendHex[i]);
    for (size_t i = 0; i < s.sendCrLf.size(); ++i)
        read(Numbered("SendCrLf", i), s.sendCrLf[i], d.sendCrLf[i]);
    for (size_t i = 0; i < s.cmdName.size(); ++i)
        read(Numbered("CmdName", i), s.cmdName[i], d.cmdName[i]);
    read("SendContinuous", s.sendContinuous, d.sendContinuous);
    read("SendBlockSize", s.sendBlockSize, d.sendBlockSize);
    read("SendMsPause", s.sendMsPause, d.sendMsPause);
    s.debugMode = 0;
    read("ScreenTextColor", s.screenTextColor, d.screenTextColor);
    read("ScreenBackgroundColor", s.screenBackgroundColor, d.screenBackgroundColor);
    read("AutoReconnect", s.autoReconnect, d.autoReconnect);
    return std::nullopt;
}

std::optional<LockBusy> SaveSettings(Registry &registry, const std::string &profile, const Settings &settings)
{
    Settings s = settings; // the accessor takes its values by reference
    Registry::Hold hold(registry);
    if (hold.Busy())
        return hold.Busy();
    registry.SetKeyPath(ProfileKeyPath(profile));
    const auto write = [&](const std::string &name, auto &field) {
        Access(registry, AccessMode::Write, name, field);
    };

    write("CommPort", s.commPort);
    if (kKeepsPortName)
        write("PortName", s.portName);
    write("Baudrate", s.baudrate);
    write("DownloadPath", s.downloadPath);
    write("DownloadFilename", s.downloadFilename);
    write("AutoIncrement", s.autoIncrement);
    write("AppendLF", s.appendLF);
    write("FlowEnabled", s.flowEnabled);
    write("SmallPackets", s.smallPackets);
    write("BdAddr", s.bdAddr);
    for (size_t i = 0; i < s.sendCmd.size(); ++i)
        write(Numbered("SendCmd", i), s.sendCmd[i]);
    for (size_t i = 0; i < s.sendHex.size(); ++i)
        write(Numbered("SendHex", i), s.sendHex[i]);
    for (size_t i = 0; i < s.sendCrLf.size(); ++i)
        write(Numbered("SendCrLf", i), s.sendCrLf[i]);
    for (size_t i = 0; i < s.cmdName.size(); ++i)
        write(Numbered("CmdName", i), s.cmdName[i]);
    write("SendContinuous", s.sendContinuous);
    write("SendBlockSize", s.sendBlockSize);
    write("SendMsPause", s.sendMsPause);
    write("ScreenTextColor", s.screenTextColor);
    write("ScreenBackgroundColor", s.screenBackgroundColor);
    write("AutoReconnect", s.autoReconnect);
    write("DebugMode", s.debugMode);
    return std::nullopt;
}

std::optional<LockBusy> SaveDownloadChoice(Registry &registry, const std::string &profile,
                                           const Settings &settings)
{
    Settings s = settings;
    Registry::Hold hold(registry);
    if (hold.Busy())
        return hold.Busy();
    registry.SetKeyPath(ProfileKeyPath(profile));
    Access(registry, AccessMode::Write, "DownloadPath", s.downloadPath);
    Access(registry, AccessMode::Write, "DownloadFilename", s.downloadFilename);
    return std::nullopt;
}

std::string ProfileExport(const std::string &profile, const Settings &settings)
{
    ExportRegistry registry;
    SaveSettings(registry, profile, settings);
    return WriteRegExport(registry.entries);
}
