#pragma once
// The main window's rules that need no window: the title, the controls with
// their captions, places and enabling rules, and the terminal view's look.

#include "common/Version.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char *kTitleProduct = " Brondel  Quorrel";

// "%s - COM%d: %d Baud - %s - %s", with the port's display name where COM%d
// stands: "A - COM2: 115200 Baud -  Brondel  Quorrel - 251126G". While the
// window waits for its port's device to come back, kWaitingForPortText follows.
std::string FormatTitle(const std::string &profile, const std::string &portDisplayName,
                        int32_t baudrate, bool waitingForPort = false);
inline constexpr const char *kWaitingForPortText = " (waiting for the port to come back)";

enum class ControlKind { PushButton, CheckBox, GroupBox, StaticText, ReadOnlyEdit, ComboBox, Terminal };

// When a control is enabled. Active: connected and not loading; idle: not
// connected, not loading and not waiting for the port; sends: active, and no
// line test running; disconnects: active, or waiting for the port.
enum class EnableRule { Always, Active, Idle, FlowIndicator, Disabled, Sends, Disconnects };

struct ControlSpec {
    int id;              // template id; 0 for the "Commands" group box
    ControlKind kind;
    const char *caption; // empty for controls without one
    const char *role;    // accessible name where there is no caption
    int x, y, w, h;      // dialog units of the 519 x 287 template
    EnableRule rule;
};

// Every control of the main window, in template order.
const std::vector<ControlSpec> &MainControls();
const ControlSpec *FindMainControl(int id);

struct WindowState {
    bool connected = false;
    bool loading = false;
    bool flowEnabled = false;
    // A line test can run for hours. The buttons that send (the commands,
    // "Escape", "Net View", "Load") wait for it to end rather than queue
    // behind it: a command queued that long would go out long after its
    // click with its reply lost in the echo, and the network view and a
    // download need the module's replies at once. Typing stays possible;
    // typed keys wait behind the line test (LineTestFeed).
    bool lineTest = false;
    // The port's device vanished and the window waits for it to come back
    // ("AutoReconnect"): "Disconnect" stops the wait.
    bool waitingForPort = false;
};

bool IsEnabled(EnableRule rule, const WindowState &state);
// The terminal view takes the profile's colours and accepts typing only here.
inline bool IsTerminalActive(const WindowState &s) { return s.connected && !s.loading; }

// Look of an inactive terminal view: black on 0xBBBBBB (0x00BBGGRR values).
inline constexpr uint32_t kInactiveTextColor = 0x000000;
inline constexpr uint32_t kInactiveBackgroundColor = 0xBBBBBB;

// Template ids of the controls other code refers to.
namespace MainId {
constexpr int Terminal = 1000, Connect = 1008, Disconnect = 1009, ProfileGroup = 1055,
              ProfileList = 1014, Setup = 1033, ImageName = 1097, Select = 1039, Load = 1035,
              BinaryMode = 1047, StayOnTop = 1054, ClearProfiles = 1116, Capture = 1129,
              FlowIndicator = 1119, Clear = 1036, RxLabel = 1100, RxCount = 1044,
              SpeedLabel = 1131, Speed = 1132, SetCmds = 1037, Escape = 1040, NetView = 1134;
// CMD1..CMD10
constexpr int Command[10] = {1061, 1062, 1063, 1064, 1065, 1066, 1076, 1077, 1078, 1079};
} // namespace MainId

// "Escape" echoes and sends these six characters.
inline constexpr const char *kEscapeText = "^#^$^%";
