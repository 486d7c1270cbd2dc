// Rules of the main window that need no window: poll dispatch, the title,
// port names and what a key does. main_window_test.cpp
// presses real keys.
#include "app/KeyInput.h"
#include "app/MainWindowRules.h"
#include "common/PollDispatch.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>

TEST(PollDispatch, StatesMapToTheirStepsAndAnAbortTakesAnyBusyStateToTheAbortStep)
{
    using A = PollAction;
    const struct { int32_t state; bool abort; PollAction action; int32_t after; } cases[] = {
        {0, false, A::TerminalReceive, 0}, {0, true, A::TerminalReceive, 0},
        {1, false, A::TransferStep, 1},    {4, false, A::TransferStep, 4},   {6, false, A::TransferStep, 6},
        {11, false, A::TransferStep, 11},  {13, false, A::TransferStep, 13}, {5, false, A::InvalidState, 5},
        {12, false, A::InvalidState, 12},  {14, false, A::InvalidState, 14}, {-1, false, A::InvalidState, -1},
        {INT32_MIN, false, A::InvalidState, INT32_MIN},
        {5, true, A::TransferStep, 11},    {13, true, A::TransferStep, 11},  {-1, true, A::TransferStep, 11},
    };
    for (const auto &c : cases) {
        int32_t state = c.state;
        EXPECT_EQ(DecidePoll(state, c.abort), c.action) << "state " << c.state << (c.abort ? ", abort" : "");
        EXPECT_EQ(state, c.after) << "state " << c.state << (c.abort ? ", abort" : "");
    }
}

TEST(TitleAndPortNames, ShowTheDevicesOwnNameWhereItHasOne)
{
    EXPECT_EQ(FormatTitle("H", PortDisplayName("/dev/ttyUSB0"), 9600),
              "H - ttyUSB0: 9600 Baud -  Brondel  Quorrel - 251126G");
#ifdef _WIN32
    EXPECT_EQ(DevicePathForPortNumber(12), "\\\\.\\COM12");
    EXPECT_EQ(PortDisplayName("\\\\.\\COM12"), "COM12");
#else
    EXPECT_EQ(DevicePathForPortNumber(2), "/dev/ttyS1");
#endif
    EXPECT_EQ(PortDisplayName("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(PortDisplayName("/run/user/1000/verrin-sim/port"), "/run/user/1000/verrin-sim/port");
}

TEST(KeyDecisions, TerminalKeysGoToThePortAsTypedAndEnterElsewhereDoesNothing)
{
    using K = KeyKind;
    // focused, kind, ctrl, alt, letter, types a character, 8-bit text
    const struct { const char *name; KeyPress key; std::string outcome; } cases[] = {
        {"Enter on a button", {false, K::Enter, false, false, 0, false, ""}, "consumed"},
        {"Escape on a button is the dialog's", {false, K::Other, false, false, 0, true, "\x1B"}, "passed"},
        {"a letter on a button", {false, K::Other, false, false, 'A', true, "a"}, "passed"},
        {"Enter", {true, K::Enter, false, false, 0, false, ""}, "consumed, send \r\n, echo \r\n"},
        {"Backspace", {true, K::Backspace, false, false, 0, false, ""}, "consumed, send \x08, rub out"},
        {"cut", {true, K::Cut, false, false, 0, false, ""}, "consumed"},
        {"a letter", {true, K::Other, false, false, 'A', true, "a"}, "consumed, send a, echo a"},
        {"Escape", {true, K::Other, false, false, 0, true, "\x1B"}, "consumed, send \x1B, echo \x1B"},
        {"Delete types nothing", {true, K::Other, false, false, 0, false, "\x7F"}, "passed"},
        {"Alt+A", {true, K::Other, false, true, 'A', true, "a"}, "consumed"},
        {"Ctrl+C without text", {true, K::Other, true, false, 'C', true, ""}, "consumed, send \x03, echo \x03"},
        {"Ctrl+Z with the platform's text", {true, K::Other, true, false, 'Z', true, "z"}, "consumed, send \x1A, echo \x1A"},
        {"Ctrl+H is appended, not rubbed out", {true, K::Other, true, false, 'H', true, ""}, "consumed, send \x08, echo \x08"},
        {"a character without a code", {true, K::Other, false, false, 0, true, ""}, "consumed"},
        {"Shift alone", {true, K::Other, false, false, 0, false, ""}, "passed"},
    };
    for (const auto &c : cases) {
        const KeyOutcome o = DecideKeyPress(c.key);
        std::string outcome = o.consumed ? "consumed" : "passed";
        if (!o.send.empty())
            outcome += ", send " + o.send;
        if (o.effect == TerminalEffect::RubOut)
            outcome += ", rub out";
        if (o.effect == TerminalEffect::Echo)
            outcome += ", echo " + o.echo;
        EXPECT_EQ(outcome, c.outcome) << c.name;
    }
}
