#pragma once
// Fixture of the end-to-end window tests: a pseudo-terminal that plays the
// module, a user's folders, and verrin started on the pty.

#include "e2e/VerrinProcess.h"
#include "support/WaitUntil.h"
#include "e2e/XInput.h"
#include "support/Pty.h"

#include <cstdio>
#include <unistd.h>
#include <gtest/gtest.h>
#include <memory>

class VerrinWindowTest : public ::testing::Test {
protected:
    // Skips where the machine cannot have a desktop session, fails where it should.
    void SetUp() override;

    // Starts verrin on the pty with --connect and waits until its terminal has
    // the keyboard, which it gets once the port is open.
    void StartConnected()
    {
        verrin.reset(); // a previous run goes first: it holds the profile
        verrin = std::make_unique<VerrinProcess>(home, std::vector<std::string>{"--port", pty.path(), "--connect"});
        ASSERT_TRUE(verrin->WaitReady()) << "the window did not come up\n" << verrin->Problem();
        ASSERT_TRUE(WaitUntil([&] { return Terminal().States().focused; }, 10000))
            << "the terminal never had the keyboard (not connected?)\n" << verrin->Problem();
    }

    Accessible Terminal() const { return verrin->Control("terminal view", "text"); }

    // Starts the virtual module in this user's runtime folder, as Setup would
    // find it; gives the path of its port (the first module's is the same
    // every time), empty when it did not come up.
    std::string StartModule(Subprocess &module, const std::vector<std::string> &options = {})
    {
        const std::string port = home.RuntimeDir() + "/verrin-sim/port";
        std::vector<std::string> argv{VERRIN_BIN_DIR "/sim/verrin-sim"};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!module.Start({argv, {{"XDG_RUNTIME_DIR", home.RuntimeDir()}}, home.HomeDir() + "/module.out"}) ||
            !WaitUntil([&] { return ::access(port.c_str(), F_OK) == 0; }, 10000))
            return {};
        return port;
    }

    // Clicks button (of the main window or a dialog) and waits until the
    // dialog of that title is shown and has the keyboard, and so stands where
    // its controls' places say; empty when it did not come.
    Accessible Open(const std::string &title, const Accessible &button)
    {
        Accessible dialog;
        if (XInput::Click(button.Extents()))
            WaitUntil([&] {
                dialog = FindApplication(verrin->Pid()).Find(title, "dialog");
                return dialog.States().showing && dialog.States().active;
            }, 10000);
        return dialog;
    }
    // Clicks button and waits until the dialog of that title has gone.
    bool Close(const std::string &title, const Accessible &button)
    {
        return XInput::Click(button.Extents()) &&
               WaitUntil([&] { return !FindApplication(verrin->Pid()).Find(title, "dialog"); }, 10000);
    }
    // Types text over the text of the dialog's box of that name.
    bool Retype(const Accessible &dialog, const std::string &box, const std::string &text)
    {
        return XInput::Click(dialog.Find(box, "text").Extents()) && XInput::Keys("ctrl+a BackSpace") &&
               (text.empty() || XInput::Type(text)) && WaitUntil([&] { return dialog.Find(box, "text").Text() == text; }, 5000);
    }
    // The message box that says text, once it is up; empty when none came.
    Accessible MessageBox(const std::string &text)
    {
        Accessible box;
        WaitUntil([&] {
            for (const Accessible &window : FindApplication(verrin->Pid()).Children())
                if (window.Find(text, "label"))
                    box = window;
            return bool(box);
        }, 10000);
        return box;
    }

    // What arrives on the pty until it ends with suffix, the time runs out or
    // verrin ends.
    std::string ReadUntil(const std::string &suffix, int timeoutMs = 10000)
    {
        std::string got;
        WaitUntil(
            [&] {
                got += pty.Read(20, 5);
                const bool done = got.size() >= suffix.size() &&
                                  got.compare(got.size() - suffix.size(), suffix.size(), suffix) == 0;
                return done || !verrin->Running();
            },
            timeoutMs);
        return got;
    }

    // Waits until the terminal's accessible text ends with tail (or verrin ends).
    bool TerminalEndsWith(const std::string &tail, int timeoutMs = 10000)
    {
        auto ends = [&] {
            const std::string text = Terminal().Text();
            return text.size() >= tail.size() &&
                   text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
        };
        WaitUntil([&] { return ends() || !verrin->Running(); }, timeoutMs);
        return ends();
    }

    // What a save adds to the profile as the first load stored it: the two
    // values never loaded, and the port given on the command line.
    std::vector<std::pair<std::string, std::string>> FirstSave() const
    {
        return {{"\"Baudrate\"=dword:0001c200\r\n", "\"Baudrate\"=dword:0001c200\r\n\"BdAddr\"=\"\"\r\n"},
                {"\"CommPort\"=dword:00000002\r\n", "\"CommPort\"=dword:00000002\r\n\"DebugMode\"=dword:00000000\r\n"},
                {"\"PortName\"=\"\"", "\"PortName\"=\"" + pty.path() + "\""}};
    }
    // text with each first (which must be there) replaced by its second.
    static std::string Replaced(std::string text, std::vector<std::pair<std::string, std::string>> changes,
                                const std::vector<std::pair<std::string, std::string>> &more = {})
    {
        changes.insert(changes.end(), more.begin(), more.end());
        for (const auto &[from, to] : changes)
            text = text.find(from) == std::string::npos ? "(no " + from + ")"
                                                         : text.replace(text.find(from), from.size(), to);
        return text;
    }

    static std::string Hex(const std::string &bytes)
    {
        std::string out;
        for (const unsigned char b : bytes) {
            char h[4];
            std::snprintf(h, sizeof h, out.empty() ? "%02X" : " %02X", b);
            out += h;
        }
        return out.empty() ? "(nothing)" : out;
    }

    PtyPair pty;
    VerrinHome home;
    std::unique_ptr<VerrinProcess> verrin;
};
