#include "e2e/VerrinProcess.h"

#include "common/Utf16Text.h"
#include "e2e/XInput.h"
#include "support/WaitUntil.h"

#include <cstring>


VerrinHome::VerrinHome() = default;

std::string VerrinHome::SettingsText() const
{
    const std::string bytes = ReadFile(ConfigDir() + "/Brondel/Verrin.reg");
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2); // little-endian, as this machine
    return Utf16ToUtf8(std::u16string_view(units).substr(units.empty() || units[0] != 0xFEFF ? 0 : 1));
}

VerrinProcess::VerrinProcess(const VerrinHome &home, const std::vector<std::string> &arguments)
    : m_home(home)
{
    std::vector<std::string> argv{VERRIN_BIN_DIR "/verrin"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    m_process.Start({argv,
                     {{"XDG_CONFIG_HOME", home.ConfigDir()},
                      {"XDG_RUNTIME_DIR", home.RuntimeDir()},
                      {"HOME", home.HomeDir()},
                      {"QT_QPA_PLATFORM", "xcb"},
                      // Qt's bridge to the accessibility bus, whatever the
                      // desktop's own accessibility setting says.
                      {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"},
                      {"QT_ACCESSIBILITY", "1"}},
                     home.LogPath()});
}

bool VerrinProcess::WaitReady(int timeoutMs)
{
    int polls = 0;
    return WaitUntil(
               [&] {
                   if (!Running())
                       return true;
                   const AccessibleStates s = Window().States();
                   // A window that does not take the keyboard itself soon
                   // gets it as from a user's click.
                   if (s.showing && !s.active && ++polls % 25 == 0)
                       XInput::FocusWindowOf(Pid());
                   return s.showing && s.active;
               },
               timeoutMs) &&
           Running();
}

Accessible VerrinProcess::Window() const
{
    // The main window is the one that holds the terminal; message boxes and
    // other windows of the program hold none.
    for (const Accessible &window : FindApplication(m_process.Pid()).Children())
        if (window.Role() == "dialog" && window.Find("terminal view", "text"))
            return window;
    return {};
}

Accessible VerrinProcess::Control(const std::string &name, const std::string &role) const
{
    return Window().Find(name, role);
}

std::string VerrinProcess::Problem()
{
    std::string window = "no main window on the accessibility bus";
    if (const Accessible w = Window()) {
        const AccessibleStates s = w.States();
        window = "main window \"" + w.Name() + "\"" + (s.showing ? " showing" : " not showing") +
                 (s.active ? " active" : " not active");
    }
    return "verrin: " + DescribeStatus(m_process.Wait(0)) + ", " + window + "; it printed:\n" +
           ReadFile(m_home.LogPath());
}
