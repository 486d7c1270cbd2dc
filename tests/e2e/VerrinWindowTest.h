#pragma once
// Fixture of the end-to-end window tests: a pseudo-terminal that plays the
// module, a user's folders, and build/verrin started on the pty as a user runs
// it: its own main() and event loop, on the desktop session's display with
// accessibility on. Runs of one test share the folders, and so see one
// another's settings and instance store, as after a restart.

#include "common/Utf16Text.h"
#include "e2e/Accessibility.h"
#include "e2e/XInput.h"
#include "support/Pty.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

class VerrinWindowTest : public ::testing::Test {
protected:
    // Skips where the machine cannot have a desktop session, fails where it should.
    void SetUp() override;

    // Starts verrin on the pty (or port) and waits until its window is shown
    // and active; connected, until its terminal has the keyboard, which it
    // gets once the port is open.
    void Start(bool connect = true, const std::string &port = "")
    {
        verrin.reset(); // a previous run goes first: it holds the profile
        verrin = std::make_unique<Subprocess>();
        std::vector<std::string> argv{VERRIN_BIN_DIR "/verrin", "--port", port.empty() ? pty.path() : port};
        if (connect)
            argv.push_back("--connect");
        verrin->Start({argv,
                       {{"XDG_CONFIG_HOME", home.Sub("config")}, {"XDG_RUNTIME_DIR", home.Sub("runtime")},
                        {"HOME", home.Sub("home")}, {"QT_QPA_PLATFORM", "xcb"},
                        // Qt's bridge to the accessibility bus, whatever the
                        // desktop's own accessibility setting says.
                        {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_ACCESSIBILITY", "1"}},
                       home.path() + "/verrin.log"});
        int polls = 0;
        ASSERT_TRUE(WaitUntil([&] {
            const AccessibleStates s = Window().States();
            // A window that does not take the keyboard itself soon gets it as
            // from a user's click.
            if (s.showing && !s.active && ++polls % 25 == 0)
                XInput::FocusWindowOf(verrin->Pid());
            return !verrin->Running() || (s.showing && s.active);
        }, 30000) && verrin->Running()) << "the window did not come up\n" << Problem();
        ASSERT_TRUE(!connect || WaitUntil([&] { return Terminal().States().focused; }, 10000))
            << "the terminal never had the keyboard (not connected?)\n" << Problem();
    }
    // How verrin ended ("exit status 0") once it did within ten seconds.
    std::string Exit() { return DescribeStatus(verrin->Wait(10000)); }
    // How verrin stands and what it printed, for failure messages.
    std::string Problem()
    {
        const AccessibleStates s = Window().States();
        return "verrin: " + DescribeStatus(verrin->Wait(0)) + ", main window \"" + Window().Name() + "\"" +
               (s.showing ? " showing" : "") + (s.active ? " active" : "") + "; it printed:\n" +
               ReadFile(home.path() + "/verrin.log");
    }

    // An object of verrin's by accessible name and role.
    Accessible Find(const std::string &name, const std::string &role) const
    {
        return FindApplication(verrin->Pid()).Find(name, role);
    }
    // The main window, the one that holds the terminal; empty once it has gone.
    Accessible Window() const
    {
        for (const Accessible &window : FindApplication(verrin->Pid()).Children())
            if (window.Role() == "dialog" && window.Find("terminal view", "text"))
                return window;
        return {};
    }
    Accessible Control(const std::string &name, const std::string &role) const { return Window().Find(name, role); }
    Accessible Terminal() const { return Control("terminal view", "text"); }
    // Clicks a control of the main window.
    bool Click(const std::string &name, const std::string &role = "push button")
    {
        return XInput::Click(Control(name, role).Extents());
    }

    // The settings file (UTF-16LE) as UTF-8 text; empty while there is none.
    std::string SettingsText() const
    {
        const std::string bytes = ReadFile(home.Sub("config") + "/Brondel/Verrin.reg");
        std::u16string units(bytes.size() / 2, u'\0');
        std::memcpy(units.data(), bytes.data(), units.size() * 2); // little-endian, as this machine
        return Utf16ToUtf8(std::u16string_view(units).substr(units.empty() || units[0] != 0xFEFF ? 0 : 1));
    }
    // The settings file as the first load stored it, with what a save adds
    // (the two values never loaded, and the port given on the command line)
    // and then each of changes: every first, which must be there, replaced by
    // its second.
    std::string Saved(std::string text, const std::vector<std::pair<std::string, std::string>> &changes)
    {
        std::vector<std::pair<std::string, std::string>> all = {
            {"\"Baudrate\"=dword:0001c200\r\n", "\"Baudrate\"=dword:0001c200\r\n\"BdAddr\"=\"\"\r\n"},
            {"\"CommPort\"=dword:00000002\r\n", "\"CommPort\"=dword:00000002\r\n\"DebugMode\"=dword:00000000\r\n"},
            {"\"PortName\"=\"\"", "\"PortName\"=\"" + pty.path() + "\""}};
        all.insert(all.end(), changes.begin(), changes.end());
        for (const auto &[from, to] : all)
            text = text.find(from) == std::string::npos ? "(no " + from + ")"
                                                         : text.replace(text.find(from), from.size(), to);
        return text;
    }

    // Starts the virtual module in this user's runtime folder, as Setup would
    // find it, logging what it reads to ModuleLog(); gives the path of its
    // port (the first module's is the same every time), empty when it did not
    // come up.
    std::string StartModule(Subprocess &module)
    {
        const std::string port = home.Sub("runtime") + "/verrin-sim/port";
        const std::vector<std::string> argv{VERRIN_BIN_DIR "/sim/verrin-sim", "--log", ModuleLog()};
        if (!module.Start({argv, {{"XDG_RUNTIME_DIR", home.Sub("runtime")}}, home.path() + "/module.out"}) ||
            !WaitUntil([&] { return ::access(port.c_str(), F_OK) == 0; }, 10000))
            return {};
        return port;
    }
    std::string ModuleLog() const { return home.Sub("home") + "/module.log"; }

    // Clicks button (of the main window or a dialog) and waits until the
    // dialog of that title is shown and has the keyboard, and so stands where
    // its controls' places say; empty when it did not come.
    Accessible Open(const std::string &title, const Accessible &button)
    {
        Accessible dialog;
        if (XInput::Click(button.Extents()))
            WaitUntil([&] {
                dialog = Find(title, "dialog");
                return dialog.States().showing && dialog.States().active;
            }, 10000);
        return dialog;
    }
    // Clicks button and waits until the dialog of that title has gone.
    bool Close(const std::string &title, const Accessible &button)
    {
        return XInput::Click(button.Extents()) && WaitUntil([&] { return !Find(title, "dialog"); }, 10000);
    }
    // Types text over the text of the dialog's box of that name.
    bool Retype(const Accessible &dialog, const std::string &box, const std::string &text)
    {
        return XInput::Click(dialog.Find(box, "text").Extents()) && XInput::Keys("ctrl+a BackSpace") &&
               (text.empty() || XInput::Type(text)) && WaitUntil([&] { return dialog.Find(box, "text").Text() == text; }, 5000);
    }

    static bool EndsWith(const std::string &text, const std::string &tail)
    {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }
    // What arrives on the pty until it ends with suffix, the time runs out or
    // verrin ends.
    std::string ReadUntil(const std::string &suffix)
    {
        std::string got;
        WaitUntil([&] { return EndsWith(got += pty.Read(20, 5), suffix) || !verrin->Running(); }, 10000);
        return got;
    }
    // Waits until the terminal's accessible text ends with tail (or verrin ends).
    bool TerminalEndsWith(const std::string &tail)
    {
        WaitUntil([&] { return EndsWith(Terminal().Text(), tail) || !verrin->Running(); }, 10000);
        return EndsWith(Terminal().Text(), tail);
    }

    PtyPair pty;
    TempDir home{"verrin-home"};
    std::unique_ptr<Subprocess> verrin;
};
