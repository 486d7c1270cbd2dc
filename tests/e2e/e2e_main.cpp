// Entry point of the end-to-end window tests: one private desktop session
// (display, session bus, accessibility bus) for the test process, its
// variables in this process's environment so that every program the tests
// start, and the accessibility reader, use it.
#include "e2e/Accessibility.h"
#include "e2e/DesktopSession.h"
#include "e2e/VerrinWindowTest.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {
std::string g_desktopProblem = "the desktop session was not set up";
bool g_skipWithoutDesktop = false;

class DesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::vector<std::string> missing = DesktopSession::MissingPrograms();
        if (!HaveProgram("xdotool"))
            missing.push_back("xdotool");
        if (!missing.empty()) {
            g_desktopProblem = "not installed:";
            for (const std::string &m : missing)
                g_desktopProblem += " " + m;
            g_desktopProblem += " (scripts/setup.sh installs them)";
            // Only a developer who cannot install packages is let off.
            g_skipWithoutDesktop = ::getuid() != 0 && !std::getenv("CI");
            return;
        }
        m_session = std::make_unique<DesktopSession>();
        if (!m_session->ok()) {
            g_desktopProblem = m_session->Error();
            return;
        }
        for (const auto &[name, value] : m_session->Environment()) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        if (StartAccessibility(&g_desktopProblem))
            g_desktopProblem.clear();
    }
    void TearDown() override
    {
        StopAccessibility();
        m_session.reset();
    }

private:
    std::unique_ptr<DesktopSession> m_session;
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
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);
    return RUN_ALL_TESTS();
}
