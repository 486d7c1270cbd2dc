// The verrin program run as a user runs it: its window, what typing sends,
// what the module's bytes show, how it ends, and the Stay On Top box.
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

TEST_F(VerrinWindowTest, StayOnTopKeepsTheWindowRunningConnectedAndInPlace)
{
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    const ScreenRect placed = verrin->Window().Extents();
    int lines = 0;
    for (const bool tick : {true, false}) {
        const char *what = tick ? "after ticking Stay On Top" : "after unticking Stay On Top";
        ASSERT_TRUE(XInput::Click(verrin->Control("Stay On Top", "check box").Extents())) << what;
        WaitUntil([&] { return !verrin->Running() ||
                               verrin->Control("Stay On Top", "check box").States().checked == tick; },
                  10000);
        // A line from the module shows the program still reads its port.
        const std::string line = "line " + std::to_string(++lines) + "\r\n";
        pty.Write(line);
        ASSERT_TRUE(TerminalEndsWith(line)) << what << "\n" << verrin->Problem();
        ASSERT_TRUE(verrin->Running()) << what << "\n" << verrin->Problem();

        EXPECT_EQ(verrin->Control("Stay On Top", "check box").States().checked, tick) << what;
        const Accessible window = verrin->Window();
        EXPECT_TRUE(window.States().showing) << what;
        EXPECT_EQ(window.Extents().ToString(), placed.ToString()) << what;
        EXPECT_TRUE(verrin->Control("Disconnect", "push button").States().enabled)
            << what << ": no longer connected";
    }
}
