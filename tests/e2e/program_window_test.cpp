// The verrin program run as a user runs it: its window, what typing sends,
// what the module's bytes show, how it ends, and the Stay On Top box.
#include "e2e/VerrinWindowTest.h"

#include <csignal>
#include <tuple>

// What is typed goes out and shows; what arrives is counted whole and shown
// filtered, or in hex in binary mode; "Clear" empties the terminal and the
// count, a new connection keeps the count.
TEST_F(VerrinWindowTest, RunsOnThePortTypesAndReceives)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Window().Name(),
              "A - " + pty.path() + ": 115200 Baud -  Brondel  Quorrel - 251126G");

    ASSERT_TRUE(XInput::Type("atx") && XInput::Keys("BackSpace Return"));
    const std::string sent = ReadUntil("\r\n");
    EXPECT_EQ(sent + pty.Read(200), "atx\b\r\n");
    EXPECT_TRUE(TerminalEndsWith("at\r\n")) << Terminal().Text();

    const auto rxCount = [&] { return Control("Rx count", "text").Text(); };
    pty.Write("hello\r\nAB\bC\t\x07\xE9\r\n");
    EXPECT_TRUE(TerminalEndsWith("at\r\nhello\r\nAC\r\n")) << Terminal().Text();
    EXPECT_TRUE(WaitUntil([&] { return rxCount() == "16"; }, 5000)) << rxCount();
    ASSERT_TRUE(Click("Binary Mode", "check box"));
    ASSERT_TRUE(WaitUntil([&] { return Control("Binary Mode", "check box").States().checked; }, 5000));
    pty.Write("A\xFF");
    EXPECT_TRUE(TerminalEndsWith("AC\r\n 41 FF\r\n")) << Terminal().Text();
    ASSERT_TRUE(Click("Clear"));
    EXPECT_TRUE(WaitUntil([&] { return Terminal().Text().empty() && rxCount() == "0"; }, 5000)) << rxCount();
    pty.Write("xyz");
    ASSERT_TRUE(WaitUntil([&] { return rxCount() == "3"; }, 5000)) << rxCount();
    ASSERT_TRUE(Click("Disconnect"));
    EXPECT_TRUE(WaitUntil([&] { return !Terminal().States().enabled; }, 5000)) << "the terminal stays on";
    ASSERT_TRUE(Click("Connect"));
    ASSERT_TRUE(WaitUntil([&] { return Terminal().States().focused; }, 5000)) << Problem();
    EXPECT_EQ(rxCount(), "3") << "a new connection keeps the count";
}

TEST_F(VerrinWindowTest, StayOnTopKeepsTheWindowRunningConnectedAndInPlace)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const ScreenRect placed = Window().Extents();
    for (const bool tick : {true, false}) {
        SCOPED_TRACE(tick ? "after ticking Stay On Top" : "after unticking Stay On Top");
        ASSERT_TRUE(Click("Stay On Top", "check box"));
        WaitUntil([&] { return !verrin->Running() || Control("Stay On Top", "check box").States().checked == tick; },
                  10000);
        // A line from the module shows the program still reads its port.
        const std::string line = tick ? "line 1\r\n" : "line 2\r\n";
        pty.Write(line);
        ASSERT_TRUE(TerminalEndsWith(line) && verrin->Running()) << Problem();
        EXPECT_EQ(Control("Stay On Top", "check box").States().checked, tick);
        EXPECT_TRUE(Window().States().showing && Control("Disconnect", "push button").States().enabled)
            << "hidden, or no longer connected";
        const ScreenRect now = Window().Extents();
        EXPECT_EQ(std::tie(now.x, now.y, now.width, now.height), std::tie(placed.x, placed.y, placed.width, placed.height));
    }
}

// The buttons that send hand the keyboard back to the terminal (a "z" typed
// after each shows it), in binary mode as well, where CMD1 sends its test
// message and CMD9 nothing. Shift+Tab leaves the terminal, and Enter on a
// button then presses nothing.
TEST_F(VerrinWindowTest, ButtonsSendAndHandTheKeyboardBackToTheTerminal)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string sendData = "at+ab SendData FFFF \"Hello World\\n\"\r\n";
    const struct {
        const char *button;
        std::string sends, shows; // the terminal's end after the "z"
    } clicks[] = {
        {"Escape", "^#^$^%", "^#^$^%z"},
        {"Send Data", sendData, sendData + "z"},
        {"Binary Mode", "", ""}, // the check box keeps the keyboard
        {"HCI Reset", {"\x01\x03\x0C\x00", 4}, "HCI RESET\r\nz"},
        {"CMD9", "", "HCI RESET\r\nzz"},
    };
    for (const auto &c : clicks) {
        Accessible button; // "HCI Reset" only once binary mode is on
        ASSERT_TRUE(WaitUntil([&] {
            return bool(button = Control(c.button, c.shows.empty() ? "check box" : "push button"));
        }, 5000)) << c.button;
        ASSERT_TRUE(XInput::Click(button.Extents())) << c.button;
        if (c.shows.empty())
            continue;
        ASSERT_TRUE(XInput::Type("z"));
        EXPECT_EQ(ReadUntil("z"), c.sends + "z") << c.button;
        EXPECT_TRUE(TerminalEndsWith(c.shows)) << c.button << ": " << Terminal().Text();
    }
    ASSERT_TRUE(XInput::Keys("shift+Tab"));
    ASSERT_TRUE(WaitUntil([&] { return !Terminal().States().focused; }, 5000));
    ASSERT_TRUE(XInput::Keys("Return"));
    EXPECT_EQ(pty.Read(500), "") << "Enter on a button sent something";
    EXPECT_TRUE(verrin->Running() && Window().States().showing) << Problem();
}

// Set Cmds: Cancel leaves the profile and the captions alone. Enter neither
// closes the dialog nor presses OK; a character without an 8-bit code does
// not go in; the block boxes work only while "Continuous" (on by default) is
// off; OK stores the text ("Café" as Unicode text) and renames CMD10 after
// its line count. After a restart CMD1 sends the text in the 8-bit page: 43
// 61 66 E9, then CR LF. (OK refusing each bad box with its message, and where
// the keyboard goes then: the dialog's own test.)
TEST_F(VerrinWindowTest, SetCmdsTextSurvivesARestartByteForByte)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string stored = SettingsText();
    Accessible dialog = Open("Send Command", Control("Set Cmds", "push button"));
    ASSERT_TRUE(dialog && Retype(dialog, "line count", "250")) << Problem();
    ASSERT_TRUE(Close("Send Command", dialog.Find("Cancel", "push button")));
    EXPECT_TRUE(Control("Send 100 lines", "push button")) << "Cancel renamed CMD10";

    dialog = Open("Send Command", Control("Set Cmds", "push button"));
    ASSERT_TRUE(dialog && Retype(dialog, "command 1 text", "Café")) << Problem();
    ASSERT_TRUE(XInput::Click(dialog.Find("command 3 name", "text").Extents()));
    ASSERT_TRUE(XInput::Keys("Return KP_Enter") && XInput::Type("Infoł€"));
    EXPECT_TRUE(WaitUntil([&] { return dialog.Find("command 3 name", "text").Text() == "Info€"; }, 5000))
        << dialog.Find("command 3 name", "text").Text();
    EXPECT_TRUE(dialog.States().showing) << "Enter closed the dialog";
    const Accessible blockSize = dialog.Find("bytes per block", "text");
    EXPECT_FALSE(blockSize.States().enabled || dialog.Find("pause per block", "text").States().enabled);
    ASSERT_TRUE(XInput::Click(dialog.Find("continuous", "check box").Extents()));
    EXPECT_TRUE(WaitUntil([&] { return blockSize.States().enabled; }, 5000));
    ASSERT_TRUE(Retype(dialog, "bytes per block", "65536") && Retype(dialog, "pause per block", "0"));
    ASSERT_TRUE(Retype(dialog, "line count", "250") && Close("Send Command", dialog.Find("OK", "push button")));
    const std::string expected = Saved(stored, {
        {R"("SendCmd1"="at+ab SendData FFFF \"Hello World\\n\"")", R"("SendCmd1"="Café")"},
        {R"("SendCmd10"="100")", R"("SendCmd10"="250")"}, {R"("CmdName3"="")", R"("CmdName3"="Info€")"},
        {R"("SendContinuous"=dword:00000001)", R"("SendContinuous"=dword:00000000)"},
        {R"("SendBlockSize"=dword:00000100)", R"("SendBlockSize"=dword:00010000)"},
        {R"("SendMsPause"=dword:00000064)", R"("SendMsPause"=dword:00000000)"}});
    EXPECT_TRUE(WaitUntil([&] { return SettingsText() == expected; }, 10000))
        << "Cancel kept an edit, or OK another:\n" << SettingsText();
    EXPECT_TRUE(Control("Send 250 lines", "push button")) << "CMD10's caption";

    verrin->Signal(SIGTERM);
    ASSERT_EQ(Exit(), "exit status 0") << Problem();
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Click("Send Data"));
    const std::string sent = ReadUntil("\r\n");
    EXPECT_EQ(sent + pty.Read(200), "Caf\xE9\r\n");
    EXPECT_TRUE(TerminalEndsWith("Café\r\n")) << Terminal().Text();
}

// Setup from the main window: OK stores every field it shows, and nothing
// else, and retitles the window; colours taken in Screen Colors go again when
// Setup is cancelled.
TEST_F(VerrinWindowTest, SetupStoresEveryFieldAndCancelDropsTheColours)
{
    ASSERT_NO_FATAL_FAILURE(Start(false)); // not connected: Setup works only then
    const std::string expected = Saved(SettingsText(), {
        {R"("Baudrate"=dword:0001c200)", R"("Baudrate"=dword:0001f400)"}, // 115200 to 128000
        {R"("AppendLF"=dword:00000001)", R"("AppendLF"=dword:00000000)"},
        {R"("FlowEnabled"=dword:00000001)", R"("FlowEnabled"=dword:00000000)"},
        {R"("SmallPackets"=dword:00000000)", R"("SmallPackets"=dword:00000001)"},
        {R"("AutoReconnect"=dword:00000000)", R"("AutoReconnect"=dword:00000001)"},
        {R"("ScreenTextColor"="000000")", R"("ScreenTextColor"="A0B0C0")"},
        {R"("ScreenBackgroundColor"="DDDDFF")", R"("ScreenBackgroundColor"="102030")"}});
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        const Accessible setup = Open("Setup", Control("Setup", "push button"));
        ASSERT_TRUE(setup) << Problem();
        if (ok) {
            // The rate list goes by its choice (115200), the port list by its name.
            // A typed character chooses nothing (no jump to 38400 on "3"); the arrow keys do.
            ASSERT_TRUE(XInput::Click(setup.Find("115200", "combo box").Extents()) && XInput::Keys("Down Return") &&
                        XInput::Type("3"));
            for (const char *box : {"RTS/CTS Flow Enabled", "Append LF after CR", "Use Small Packets", "Reconnect"})
                ASSERT_TRUE(XInput::Click(setup.Find(box, "check box").Extents())) << box;
        }
        const Accessible colors = Open("Set Screen Colors", setup.Find("Screen Colors", "push button"));
        ASSERT_TRUE(colors && Retype(colors, "Text", ok ? "a0b0c0" : "000001")) << colors.Find("Text", "text").Text();
        ASSERT_TRUE(Retype(colors, "Background", "102030")) << colors.Find("Background", "text").Text();
        ASSERT_TRUE(Close("Set Screen Colors", colors.Find("OK", "push button")));
        ASSERT_TRUE(Close("Setup", setup.Find(ok ? "OK" : "Cancel", "push button")));
        EXPECT_TRUE(WaitUntil([&] { return SettingsText() == expected; }, 5000)) << SettingsText();
    }
    EXPECT_NE(Window().Name().find(": 128000 Baud"), std::string::npos) << Window().Name();
    verrin->Signal(SIGTERM); // the exit saves what the window holds
    ASSERT_EQ(Exit(), "exit status 0") << Problem();
    EXPECT_EQ(SettingsText(), expected);
}

// SIGTERM with a dialog or a message box open ends the program as closing the
// main window does: status 0, and the next instance takes profile A again.
TEST_F(VerrinWindowTest, SigtermEndsTheProgramFromAnyOpenDialog)
{
    const struct {
        const char *click, *key, *opens; // a button of the main window, then a key if any; the dialog's name
    } cases[] = {
        {"Set Cmds", nullptr, "Send Command"},
        {"Clear Profiles", nullptr, "Exit All Application Instances"}, // its message
        {"Net View", nullptr, "Mesh network graph"},
        {"Net View", "Escape", "Closing Netview"}, // the view closed with a scan unanswered
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opens);
        ASSERT_NO_FATAL_FAILURE(Start());
        EXPECT_EQ(Window().Name().substr(0, 4), "A - ") << "the profile was not freed";
        ASSERT_TRUE(Click(c.click));
        if (c.key) {
            ASSERT_TRUE(WaitUntil([&] { return bool(Find("Mesh network graph", "dialog")); }, 10000));
            ASSERT_TRUE(XInput::Keys(c.key));
        }
        ASSERT_TRUE(WaitUntil([&] { return Find(c.opens, "dialog") || Find(c.opens, "label"); }, 10000))
            << Problem();
        verrin->Signal(SIGTERM);
        EXPECT_EQ(Exit(), "exit status 0") << Problem();
    }
}

// With "Reconnect" ticked in Setup, a module that dies is waited for: no box,
// the title says so, and once it is back on the same path the port opens
// again and what is typed reaches it.
TEST_F(VerrinWindowTest, ReconnectsWhenTheModuleComesBackOnItsPath)
{
    const std::string log = ModuleLog();
    Subprocess module;
    const std::string port = StartModule(module);
    ASSERT_FALSE(port.empty());
    ASSERT_NO_FATAL_FAILURE(Start(false, port));
    const Accessible setup = Open("Setup", Control("Setup", "push button"));
    ASSERT_TRUE(setup && XInput::Click(setup.Find("Reconnect", "check box").Extents()));
    ASSERT_TRUE(WaitUntil([&] { return setup.Find("Reconnect", "check box").States().checked; }, 5000));
    ASSERT_TRUE(Close("Setup", setup.Find("OK", "push button")));
    ASSERT_TRUE(Click("Connect"));
    ASSERT_TRUE(WaitUntil([&] { return Terminal().States().focused; }, 10000)) << Problem();

    const auto waiting = [&] { return EndsWith(Window().Name(), " (waiting for the port to come back)"); };
    module.Signal(SIGKILL);
    ASSERT_TRUE(WaitUntil(waiting, 10000)) << Window().Name();
    EXPECT_TRUE(Control("Disconnect", "push button").States().enabled) << "Disconnect stops the wait";
    Subprocess again;
    ASSERT_EQ(StartModule(again), port);
    ASSERT_TRUE(WaitUntil([&] { return !waiting() && Terminal().States().focused; }, 5000))
        << Window().Name() << "\n" << Problem();
    EXPECT_FALSE(Find("Comm Port Error", "alert")) << "the loss was shown in a box";
    ASSERT_TRUE(XInput::Type("at+ab info") && XInput::Keys("Return"));
    EXPECT_TRUE(WaitUntil([&] { return EndsWith(ReadFile(log), "at+ab info\r\n"); }, 10000)) << ReadFile(log);
}

// "Save Picture..." from the mesh view's context menu, a real right click while
// the scan runs: the scan goes on while the file dialog is open, and the SVG
// written holds the nodes the module reported.
TEST_F(VerrinWindowTest, NetViewSavesItsPictureFromTheContextMenu)
{
    const std::string log = ModuleLog();
    Subprocess module;
    const std::string port = StartModule(module);
    ASSERT_FALSE(port.empty());
    ASSERT_NO_FATAL_FAILURE(Start(true, port));
    ASSERT_TRUE(Click("Net View"));
    Accessible view;
    ASSERT_TRUE(WaitUntil([&] {
        view = Find("Mesh network graph", "dialog");
        return view && view.Description().find("13 nodes") != std::string::npos;
    }, 15000)) << view.Description();
    // The menu's one entry, chosen from the keyboard once the menu is up.
    ASSERT_TRUE(XInput::Click(view.Extents(), 3));
    WaitUntil([] { return false; }, 500); // the menu opens (Return without it would close the view)
    ASSERT_TRUE(XInput::Keys("Down") && XInput::Keys("Return"));
    ASSERT_TRUE(WaitUntil([&] { return bool(Find("Save Picture", "dialog")); }, 10000));
    // A scan goes out every five seconds, the file dialog open or not.
    const size_t logged = ReadFile(log).size();
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(log).find("at+ab loranet", logged) != std::string::npos; }, 10000))
        << "no scan while the file dialog was open";
    ASSERT_TRUE(Find("Save Picture", "dialog")) << "the file dialog closed";
    const std::string file = home.Sub("home") + "/mesh.svg";
    ASSERT_TRUE(XInput::Keys("ctrl+a") && XInput::Type(file) && XInput::Keys("Return"));
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(file).find("</svg>") != std::string::npos; }, 10000));
    const std::string svg = ReadFile(file);
    EXPECT_NE(svg.find(">Local<"), std::string::npos);
    EXPECT_NE(svg.find(">Group C001<"), std::string::npos);
    EXPECT_TRUE(view.States().showing) << "the view closed";
}
