// The verrin program run as a user runs it: its window, what typing sends,
// what the module's bytes show, and how it ends.
#include "e2e/VerrinWindowTest.h"

#include <csignal>

TEST_F(VerrinWindowTest, RunsOnThePortTypesReceivesAndEndsOnSigterm)
{
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    EXPECT_EQ(verrin->Window().Name(),
              "A - " + pty.path() + ": 115200 Baud -  Brondel  Quorrel - 251126G");

    ASSERT_TRUE(XInput::Type("at") && XInput::Keys("Return"));
    const std::string sent = ReadUntil("\r\n");
    EXPECT_EQ(Hex(sent + pty.Read(200)), "61 74 0D 0A");
    EXPECT_TRUE(TerminalEndsWith("at\r\n")) << Terminal().Text();

    pty.Write("hello\r\n");
    EXPECT_TRUE(TerminalEndsWith("at\r\nhello\r\n")) << Terminal().Text();

    verrin->Signal(SIGTERM);
    EXPECT_EQ(DescribeStatus(verrin->WaitExit(10000)), "exit status 0") << verrin->Problem();
    // The port given on the command line is kept with the profile.
    EXPECT_NE(home.SettingsText().find("\"PortName\"=\"" + pty.path() + "\""), std::string::npos)
        << home.SettingsText();
}
