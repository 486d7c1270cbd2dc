// The verrin program run as a user runs it: its window, what typing sends,
// what the module's bytes show, how it ends, and the Stay On Top box.
#include "e2e/VerrinWindowTest.h"

#include <csignal>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {
std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

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

// "Café" typed into Set Cmds is stored as text in the settings file and, after
// a restart, CMD1 sends it in the 8-bit page: 43 61 66 E9, then CR LF.
TEST_F(VerrinWindowTest, TextTypedIntoSetCmdsSurvivesARestartByteForByte)
{
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    ASSERT_TRUE(XInput::Click(verrin->Control("Set Cmds", "push button").Extents()));
    Accessible dialog;
    ASSERT_TRUE(WaitUntil([&] { return bool(dialog = FindApplication(verrin->Pid()).Find("Send Command", "dialog")); },
                          10000))
        << verrin->Problem();
    ASSERT_TRUE(XInput::Click(dialog.Find("command 1 text", "text").Extents()));
    ASSERT_TRUE(XInput::Keys("ctrl+a") && XInput::Type("Café"));
    ASSERT_TRUE(WaitUntil([&] { return dialog.Find("command 1 text", "text").Text() == "Café"; }, 5000))
        << dialog.Find("command 1 text", "text").Text();
    ASSERT_TRUE(XInput::Click(dialog.Find("OK", "push button").Extents()));
    ASSERT_TRUE(WaitUntil([&] { return home.SettingsText().find("\"SendCmd1\"=\"Café\"") != std::string::npos; },
                          10000))
        << home.SettingsText();

    verrin->Signal(SIGTERM);
    ASSERT_EQ(DescribeStatus(verrin->WaitExit(10000)), "exit status 0") << verrin->Problem();
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    ASSERT_TRUE(XInput::Click(verrin->Control("Send Data", "push button").Extents()));
    const std::string sent = ReadUntil("\r\n");
    EXPECT_EQ(Hex(sent + pty.Read(200)), "43 61 66 E9 0D 0A");
    EXPECT_TRUE(TerminalEndsWith("Café\r\n")) << Terminal().Text();
}

// SIGTERM with a dialog or a message box open ends the program as closing the
// main window does: status 0, and the next instance takes profile A again.
TEST_F(VerrinWindowTest, SigtermEndsTheProgramFromAnyOpenDialog)
{
    const struct {
        std::vector<const char *> clicks; // buttons of the main window, in turn
        const char *key;                  // then this key, if any
        const char *opens;                // the dialog's accessible name
    } cases[] = {
        {{"Set Cmds"}, nullptr, "Send Command"},
        {{"Clear Profiles"}, nullptr, "Alert"},
        {{"Net View"}, nullptr, "Mesh network graph"},
        {{"Net View"}, "Escape", "Closing Netview"}, // the view closed with a scan unanswered
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opens);
        ASSERT_NO_FATAL_FAILURE(StartConnected());
        EXPECT_EQ(verrin->Window().Name().substr(0, 4), "A - ") << "the profile was not freed";
        for (const char *button : c.clicks)
            ASSERT_TRUE(XInput::Click(verrin->Control(button, "push button").Extents()));
        if (c.key) {
            ASSERT_TRUE(WaitUntil([&] { return bool(FindApplication(verrin->Pid()).Find("Mesh network graph", "dialog")); },
                                  10000));
            ASSERT_TRUE(XInput::Keys(c.key));
        }
        ASSERT_TRUE(WaitUntil([&] { return bool(FindApplication(verrin->Pid()).Find(c.opens, "dialog")) ||
                                           bool(FindApplication(verrin->Pid()).Find(c.opens, "alert")); },
                              10000))
            << verrin->Problem();
        verrin->Signal(SIGTERM);
        EXPECT_EQ(DescribeStatus(verrin->WaitExit(10000)), "exit status 0") << verrin->Problem();
    }
}

// With "Reconnect" ticked in Setup, a module that dies is waited for: no box,
// the title says so, and once it is back on the same path the port opens
// again and what is typed reaches it.
TEST_F(VerrinWindowTest, ReconnectsWhenTheModuleComesBackOnItsPath)
{
    const std::string log = home.HomeDir() + "/module.log";
    Subprocess module;
    const std::string port = StartModule(module, {"--log", log});
    ASSERT_FALSE(port.empty());
    verrin = std::make_unique<VerrinProcess>(home, std::vector<std::string>{"--port", port});
    ASSERT_TRUE(verrin->WaitReady()) << verrin->Problem();
    ASSERT_TRUE(XInput::Click(verrin->Control("Setup", "push button").Extents()));
    Accessible setup;
    ASSERT_TRUE(WaitUntil([&] { return bool(setup = FindApplication(verrin->Pid()).Find("Setup", "dialog")); }, 10000));
    ASSERT_TRUE(XInput::Click(setup.Find("Reconnect", "check box").Extents()));
    ASSERT_TRUE(WaitUntil([&] { return setup.Find("Reconnect", "check box").States().checked; }, 5000));
    ASSERT_TRUE(XInput::Click(setup.Find("OK", "push button").Extents()));
    ASSERT_TRUE(WaitUntil([&] { return verrin->Control("Connect", "push button").States().showing &&
                                       !FindApplication(verrin->Pid()).Find("Setup", "dialog"); }, 5000));
    ASSERT_TRUE(XInput::Click(verrin->Control("Connect", "push button").Extents()));
    ASSERT_TRUE(WaitUntil([&] { return Terminal().States().focused; }, 10000)) << verrin->Problem();

    const auto waiting = [&] {
        const std::string title = verrin->Window().Name();
        return title.size() > 10 && title.find("(waiting for the port to come back)") != std::string::npos;
    };
    module.Signal(SIGKILL);
    ASSERT_TRUE(WaitUntil(waiting, 10000)) << verrin->Window().Name();
    EXPECT_TRUE(verrin->Control("Disconnect", "push button").States().enabled) << "Disconnect stops the wait";
    Subprocess again;
    ASSERT_EQ(StartModule(again, {"--log", log}), port);
    ASSERT_TRUE(WaitUntil([&] { return !waiting() && Terminal().States().focused; }, 5000))
        << verrin->Window().Name() << "\n" << verrin->Problem();
    EXPECT_FALSE(FindApplication(verrin->Pid()).Find("Comm Port Error", "alert")) << "the loss was shown in a box";
    ASSERT_TRUE(XInput::Type("at+ab info") && XInput::Keys("Return"));
    EXPECT_TRUE(WaitUntil([&] {
        const std::string got = ReadAll(log);
        return got.size() >= 12 && got.compare(got.size() - 12, 12, "at+ab info\r\n") == 0;
    }, 10000)) << ReadAll(log);
}

// "Save Picture..." from the mesh view's context menu, a real right click while
// the scan runs: the SVG written holds the nodes the module reported.
TEST_F(VerrinWindowTest, NetViewSavesItsPictureFromTheContextMenu)
{
    Subprocess module;
    const std::string port = StartModule(module);
    ASSERT_FALSE(port.empty());
    verrin = std::make_unique<VerrinProcess>(home, std::vector<std::string>{"--port", port, "--connect"});
    ASSERT_TRUE(verrin->WaitReady()) << verrin->Problem();
    ASSERT_TRUE(WaitUntil([&] { return Terminal().States().focused; }, 10000));
    ASSERT_TRUE(XInput::Click(verrin->Control("Net View", "push button").Extents()));
    Accessible view;
    ASSERT_TRUE(WaitUntil([&] {
        view = FindApplication(verrin->Pid()).Find("Mesh network graph", "dialog");
        return view && view.Description().find("13 nodes") != std::string::npos;
    }, 15000)) << view.Description();
    // The menu's one entry, chosen from the keyboard once the menu is up.
    const auto dialogUp = [&] { return bool(FindApplication(verrin->Pid()).Find("Save Picture", "dialog")); };
    ASSERT_TRUE(XInput::Click(view.Extents(), 3));
    WaitUntil([] { return false; }, 500); // the menu opens (Return without it would close the view)
    ASSERT_TRUE(XInput::Keys("Down") && XInput::Keys("Return"));
    ASSERT_TRUE(WaitUntil(dialogUp, 10000));
    const std::string file = home.HomeDir() + "/mesh.svg";
    ASSERT_TRUE(XInput::Keys("ctrl+a") && XInput::Type(file) && XInput::Keys("Return"));
    ASSERT_TRUE(WaitUntil([&] { return ReadAll(file).find("</svg>") != std::string::npos; }, 10000));
    const std::string svg = ReadAll(file);
    EXPECT_NE(svg.find(">Local<"), std::string::npos);
    EXPECT_NE(svg.find(">Group C001<"), std::string::npos);
    EXPECT_TRUE(view.States().showing) << "the view closed";
}
