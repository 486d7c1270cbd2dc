#include "e2e/VerrinProcess.h"

#include "e2e/WaitUntil.h"
#include "e2e/XInput.h"

#include <fstream>
#include <iterator>

namespace {
void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string Utf16LeToUtf8(const std::string &bytes)
{
    std::string out;
    size_t i = bytes.compare(0, 2, "\xFF\xFE") == 0 ? 2 : 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t unit = char32_t(uint8_t(bytes[i])) | char32_t(uint8_t(bytes[i + 1])) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = char32_t(uint8_t(bytes[i + 2])) | char32_t(uint8_t(bytes[i + 3])) << 8;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

VerrinHome::VerrinHome() = default;

std::string VerrinHome::SettingsText() const
{
    return Utf16LeToUtf8(ReadFile(ConfigDir() + "/Brondel/Verrin.reg"));
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
