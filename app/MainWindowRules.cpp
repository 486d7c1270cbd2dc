#include "app/MainWindowRules.h"

#include <cstdio>

std::string FormatTitle(const std::string &profile, const std::string &portDisplayName,
                        int32_t baudrate, bool waitingForPort)
{
    return profile + " - " + portDisplayName + ": " + std::to_string(baudrate) + " Baud - " +
           kTitleProduct + " - " + kVersionText + (waitingForPort ? kWaitingForPortText : "");
}

const std::vector<ControlSpec> &MainControls()
{
    using K = ControlKind;
    using R = EnableRule;
    static const std::vector<ControlSpec> controls = {
        {MainId::Terminal, K::Terminal, "", "terminal view", 7, 7, 428, 215, R::Active},
        {MainId::Connect, K::PushButton, "Connect", "", 454, 13, 46, 11, R::Idle},
        {MainId::Disconnect, K::PushButton, "Disconnect", "", 454, 27, 46, 11, R::Disconnects},
        {MainId::ProfileGroup, K::GroupBox, "Profile", "", 441, 46, 74, 42, R::Idle},
        {MainId::ProfileList, K::ComboBox, "", "profile", 478, 55, 25, 40, R::Idle},
        {MainId::Setup, K::PushButton, "Setup", "", 454, 72, 46, 11, R::Idle},
        {MainId::ImageName, K::ReadOnlyEdit, "", "image file name", 434, 97, 82, 12, R::Always},
        {MainId::Select, K::PushButton, "Select", "", 442, 110, 30, 11, R::Always},
        {MainId::Load, K::PushButton, "Load", "", 479, 110, 30, 11, R::Sends},
        {MainId::BinaryMode, K::CheckBox, "Binary Mode", "", 447, 133, 55, 10, R::Always},
        {MainId::StayOnTop, K::CheckBox, "Stay On Top", "", 447, 145, 56, 10, R::Always},
        {MainId::ClearProfiles, K::PushButton, "Clear Profiles", "", 454, 165, 46, 11, R::Always},
        {MainId::Capture, K::PushButton, "Start Capture", "", 450, 181, 55, 11, R::Always},
        {MainId::FlowIndicator, K::StaticText, "CTS/RTS Enabled", "", 447, 217, 61, 8, R::FlowIndicator},
        {MainId::Clear, K::PushButton, "Clear", "", 13, 232, 40, 15, R::Active},
        {MainId::RxLabel, K::StaticText, "Rx:", "", 62, 236, 14, 8, R::Active},
        {MainId::RxCount, K::ReadOnlyEdit, "", "Rx count", 78, 236, 35, 13, R::Active},
        {MainId::SpeedLabel, K::StaticText, "Speed:", "", 51, 248, 25, 8, R::Disabled},
        {MainId::Speed, K::ReadOnlyEdit, "", "speed", 76, 248, 40, 14, R::Disabled},
        {MainId::SetCmds, K::PushButton, "Set Cmds", "", 13, 259, 42, 14, R::Always},
        {MainId::Escape, K::PushButton, "Escape", "", 74, 259, 42, 14, R::Sends},
        {MainId::NetView, K::PushButton, "Net View", "", 128, 240, 55, 14, R::Sends},
        {0, K::GroupBox, "Commands", "", 195, 230, 317, 50, R::Always},
        {MainId::Command[0], K::PushButton, "CMD1", "", 209, 240, 50, 14, R::Sends},
        {MainId::Command[1], K::PushButton, "CMD2", "", 268, 240, 50, 14, R::Sends},
        {MainId::Command[2], K::PushButton, "CMD3", "", 327, 240, 50, 14, R::Sends},
        {MainId::Command[3], K::PushButton, "CMD4", "", 386, 240, 50, 14, R::Sends},
        {MainId::Command[4], K::PushButton, "CMD5", "", 445, 240, 50, 14, R::Sends},
        {MainId::Command[5], K::PushButton, "CMD6", "", 209, 261, 50, 14, R::Sends},
        {MainId::Command[6], K::PushButton, "CMD7", "", 268, 261, 50, 14, R::Sends},
        {MainId::Command[7], K::PushButton, "CMD8", "", 327, 261, 50, 14, R::Sends},
        {MainId::Command[8], K::PushButton, "CMD9", "", 386, 261, 50, 14, R::Sends},
        {MainId::Command[9], K::PushButton, "CMD10", "", 445, 261, 63, 14, R::Sends},
    };
    return controls;
}

const ControlSpec *FindMainControl(int id)
{
    for (const ControlSpec &c : MainControls())
        if (c.id == id)
            return &c;
    return nullptr;
}

bool IsEnabled(EnableRule rule, const WindowState &s)
{
    switch (rule) {
    case EnableRule::Always: return true;
    case EnableRule::Active: return s.connected && !s.loading;
    case EnableRule::Idle: return !s.connected && !s.loading && !s.waitingForPort;
    case EnableRule::FlowIndicator: return s.flowEnabled && s.connected;
    case EnableRule::Disabled: return false;
    case EnableRule::Sends: return s.connected && !s.loading && !s.lineTest;
    case EnableRule::Disconnects: return (s.connected && !s.loading) || s.waitingForPort;
    }
    return false;
}
