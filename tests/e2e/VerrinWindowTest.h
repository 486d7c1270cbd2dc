#pragma once
// Fixture of the end-to-end window tests: a pseudo-terminal that plays the
// module, a user's folders, and verrin started on the pty.

#include "e2e/VerrinProcess.h"
#include "support/WaitUntil.h"
#include "e2e/XInput.h"
#include "support/Pty.h"

#include <cstdio>
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
