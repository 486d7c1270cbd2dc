// Entry point of the end-to-end window tests: one private desktop session for
// the test process, its variables in this process's environment so that
// every program the tests start, and the accessibility reader, use it. The
// session is an Xvfb display picked by the server itself, and a D-Bus session
// bus whose activated services (the accessibility bus and its registry among
// them) run with that display. All its state lives in one temporary folder.
#include "e2e/Accessibility.h"
#include "e2e/VerrinWindowTest.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
std::string g_desktopProblem = "the desktop session was not set up";
bool g_skipWithoutDesktop = false;

// Starts a child that announces itself with one line on its descriptor 3,
// which is the file at path; gives the line, or nothing when none came within
// 20 seconds.
std::string StartAnnouncing(Subprocess &child, Subprocess::Options options, const std::string &path)
{
    options.passFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool started = options.passFd >= 0 && child.Start(options);
    ::close(options.passFd);
    const auto line = [&] { return ReadFile(path).find('\n'); };
    return started && WaitUntil([&] { return line() != std::string::npos || !child.Running(); }, 20000) &&
                   line() != std::string::npos
               ? ReadFile(path).substr(0, line())
               : std::string();
}

class DesktopSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string missing;
        for (const char *program : {"Xvfb", "dbus-daemon", "/usr/libexec/at-spi-bus-launcher", "xdotool"})
            missing += HaveProgram(program) ? "" : std::string(" ") + program;
        if (!missing.empty()) {
            g_desktopProblem = "not installed:" + missing + " (scripts/setup.sh installs them)";
            // Only a developer who cannot install packages is let off.
            g_skipWithoutDesktop = ::getuid() != 0 && !std::getenv("CI");
            return;
        }
        // The server picks a free display number and writes it once it
        // accepts connections; it listens on its local socket only.
        const std::string display = StartAnnouncing(
            m_x, {{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, {}, Log("xvfb")},
            m_dir.path() + "/display");
        // No variable may lead a program to another desktop, bus, input
        // method or session manager.
        ::setenv("DISPLAY", (":" + display).c_str(), 1);
        for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "SESSION_MANAGER",
                                 "QT_IM_MODULE", "XMODIFIERS"})
            ::unsetenv(name);
        EnvChanges env{{"GSETTINGS_BACKEND", "memory"}};
        // The services the bus starts (the accessibility bus among them) keep
        // their sockets, settings and caches here.
        for (const char *folder : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            env[folder] = m_dir.Sub(folder);
        const std::string bus = display.empty() ? std::string() : StartAnnouncing(m_bus, {
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--nosyslog",
             "--address=unix:dir=" + m_dir.Sub("bus"), "--print-address=3"}, env, Log("dbus")}, m_dir.path() + "/bus-address");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        if (display.empty() || bus.empty())
            g_desktopProblem = std::string(display.empty() ? "Xvfb" : "the D-Bus session bus") + " did not start\n" +
                               ReadFile(Log("xvfb")) + ReadFile(Log("dbus"));
        else if (StartAccessibility(&g_desktopProblem))
            g_desktopProblem.clear();
    }
    void TearDown() override
    {
        atspi_exit(); // when it never started, it does nothing
        m_bus.Stop(); // the bus first: its services are X clients of the display
        m_x.Stop();
    }

private:
    std::string Log(const char *name) const { return m_dir.path() + "/" + name + ".log"; }

    TempDir m_dir{"verrin-desktop"};
    Subprocess m_x, m_bus;
};
} // namespace

void VerrinWindowTest::SetUp()
{
    if (g_skipWithoutDesktop)
        GTEST_SKIP() << "window end-to-end tests skipped: " << g_desktopProblem;
    ASSERT_TRUE(g_desktopProblem.empty()) << g_desktopProblem;
    ASSERT_TRUE(pty.ok());
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new DesktopSession);
    return RUN_ALL_TESTS();
}
