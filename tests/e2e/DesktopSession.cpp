#include "e2e/DesktopSession.h"

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {
constexpr int kStartMs = 20000;
const char *const kAccessibilityLauncher = "/usr/libexec/at-spi-bus-launcher";

// One line that the child writes to the pipe's other end, within timeoutMs.
std::string ReadLine(int fd, int timeoutMs)
{
    std::string line;
    for (int waited = 0; waited < timeoutMs && line.find('\n') == std::string::npos;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            waited += 50;
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break; // the child closed it, or ended
        line.append(buf, size_t(n));
    }
    const size_t end = line.find('\n');
    return end == std::string::npos ? std::string() : line.substr(0, end);
}

// Starts a child that announces itself with one line on its descriptor 3.
std::string StartAnnouncing(Subprocess &child, Subprocess::Options options)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    options.passFd = fds[1];
    const bool started = child.Start(options);
    ::close(fds[1]);
    const std::string line = started ? ReadLine(fds[0], kStartMs) : std::string();
    ::close(fds[0]);
    return line;
}
} // namespace

DesktopSession::DesktopSession()
{
    if (!m_dir.ok())
        m_error = "no temporary folder";
    else if (!StartX())
        m_error = "Xvfb did not start";
    else if (!StartBus())
        m_error = "the D-Bus session bus did not start";
    if (!m_error.empty())
        m_error += Logs();
}

DesktopSession::~DesktopSession()
{
    // The bus first: its services are X clients of the display.
    m_bus.Stop();
    m_x.Stop();
}

bool DesktopSession::StartX()
{
    // The server picks a free display number and writes it once it accepts
    // connections; it listens on its local socket only.
    const std::string number = StartAnnouncing(
        m_x, {{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
              {},
              m_dir.path() + "/xvfb.log"});
    if (number.empty())
        return false;
    m_display = ":" + number;
    return true;
}

bool DesktopSession::StartBus()
{
    EnvChanges env = Environment();
    env["DBUS_SESSION_BUS_ADDRESS"] = std::nullopt;
    // The services it starts (the accessibility bus among them) keep their
    // sockets, settings and caches here.
    env["XDG_RUNTIME_DIR"] = m_dir.Sub("runtime");
    env["HOME"] = m_dir.Sub("home");
    env["XDG_CONFIG_HOME"] = m_dir.Sub("config");
    env["XDG_CACHE_HOME"] = m_dir.Sub("cache");
    env["GSETTINGS_BACKEND"] = "memory";
    m_busAddress = StartAnnouncing(
        m_bus, {{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--nosyslog",
                 "--address=unix:dir=" + m_dir.Sub("bus"), "--print-address=3"},
                env,
                m_dir.path() + "/dbus.log"});
    return !m_busAddress.empty();
}

EnvChanges DesktopSession::Environment() const
{
    return {{"DISPLAY", m_display},
            {"DBUS_SESSION_BUS_ADDRESS", m_busAddress},
            {"AT_SPI_BUS_ADDRESS", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"SESSION_MANAGER", std::nullopt},
            {"QT_IM_MODULE", std::nullopt},
            {"XMODIFIERS", std::nullopt}};
}

std::string DesktopSession::Logs() const
{
    std::string out;
    for (const char *name : {"xvfb.log", "dbus.log"}) {
        std::ifstream in(m_dir.path() + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        if (!text.str().empty())
            out += std::string("\n--- ") + name + ":\n" + text.str();
    }
    return out;
}

std::vector<std::string> DesktopSession::MissingPrograms()
{
    std::vector<std::string> missing;
    for (const char *program : {"Xvfb", "dbus-daemon", kAccessibilityLauncher})
        if (!HaveProgram(program))
            missing.push_back(program);
    return missing;
}
