// Rules of the main window that need no window: poll dispatch, the title,
// port names, control enabling and what a key does. main_window_test.cpp
// presses real keys.
#include "app/KeyInput.h"
#include "app/MainWindowRules.h"
#include "common/PollDispatch.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>
#include <set>

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

TEST(ControlStates, EachControlFollowsItsRule)
{
    const WindowState idle{false, false, true}, active{true, false, true}, loading{true, true, true},
        noFlow{true, false, false}, lineTest{true, false, true, true};
    using R = EnableRule;
    using namespace MainId;
    const struct { EnableRule rule; bool idle, active, loading, noFlow, lineTest; std::vector<int> ids; } rules[] = {
        {R::Idle, true, false, false, false, false, {Connect, ProfileList, MainId::Setup}},
        {R::Active, false, true, false, true, true, {Disconnect, Clear, Terminal, RxCount}},
        {R::Sends, false, true, false, true, false, {Load, Escape, NetView, Command[0], Command[9]}},
        {R::Always, true, true, true, true, true, {Select, SetCmds, Capture}},
        {R::Disabled, false, false, false, false, false, {Speed, SpeedLabel}},
        {R::FlowIndicator, false, true, true, false, true, {FlowIndicator}},
    };
    for (const auto &r : rules) {
        EXPECT_EQ(IsEnabled(r.rule, idle), r.idle) << int(r.rule);
        EXPECT_EQ(IsEnabled(r.rule, active), r.active) << int(r.rule);
        EXPECT_EQ(IsEnabled(r.rule, loading), r.loading) << int(r.rule);
        EXPECT_EQ(IsEnabled(r.rule, noFlow), r.noFlow) << int(r.rule);
        EXPECT_EQ(IsEnabled(r.rule, lineTest), r.lineTest) << int(r.rule);
        for (const int id : r.ids)
            EXPECT_EQ(FindMainControl(id)->rule, r.rule) << FindMainControl(id)->caption << FindMainControl(id)->role;
    }
    EXPECT_TRUE(IsTerminalActive(active));
    EXPECT_FALSE(IsTerminalActive(loading));

    std::set<int> ids;
    for (const ControlSpec &c : MainControls()) {
        EXPECT_TRUE(c.caption[0] || c.role[0]) << "control " << c.id << " has no name";
        EXPECT_TRUE(!c.id || ids.insert(c.id).second) << "duplicate id " << c.id;
    }
    EXPECT_EQ(MainControls().size(), 33u);
}

TEST(KeyDecisions, TerminalKeysGoToThePortAsTypedAndEnterElsewhereDoesNothing)
{
    using K = KeyKind;
    const struct { const char *name; KeyPress key; std::string outcome; } cases[] = {
        {"Enter on a button", {false, K::Enter, false, 0, ""}, "consumed"},
        {"Backspace on a button", {false, K::Backspace, false, 0, ""}, "passed"},
        {"a letter on a button", {false, K::Other, false, 'A', "a"}, "passed"},
        {"Enter", {true, K::Enter, false, 0, ""}, "consumed, send \r\n, echo \r\n"},
        {"Backspace", {true, K::Backspace, false, 0, ""}, "consumed, send \x08, rub out"},
        {"cut", {true, K::Cut, false, 0, ""}, "consumed"},
        {"copy", {true, K::Copy, false, 0, ""}, "consumed"},
        {"a letter", {true, K::Other, false, 'A', "a"}, "consumed, send a, echo a"},
        {"Ctrl+C without text", {true, K::Other, true, 'C', ""}, "consumed, send \x03, echo \x03"},
        {"Ctrl+Z with the platform's text", {true, K::Other, true, 'Z', "z"}, "consumed, send \x1A, echo \x1A"},
        {"Ctrl+M is a single CR", {true, K::Other, true, 'M', "\r"}, "consumed, send \r, echo \r"},
        {"Ctrl+H is appended, not rubbed out", {true, K::Other, true, 'H', ""}, "consumed, send \x08, echo \x08"},
        {"a Latin-1 letter", {true, K::Other, false, 0, "\xE9"}, "consumed, send \xE9, echo \xE9"},
        {"Shift alone", {true, K::Other, false, 0, ""}, "passed"},
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
