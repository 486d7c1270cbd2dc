// Rules of the main window that need no window: poll dispatch, the title,
// control enabling, dialog units and keyboard decisions.
#include "app/KeyInput.h"
#include "app/MainWindowRules.h"
#include "app/PollDispatch.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>

TEST(PollDispatch, StatesMapToTheirSteps)
{
    for (int32_t s = -3; s <= 16; ++s) {
        int32_t state = s;
        const PollAction a = DecidePoll(state, false);
        const bool transfer = (s >= 1 && s <= 4) || (s >= 6 && s <= 11) || s == 13;
        const PollAction expected = s == 0     ? PollAction::TerminalReceive
                                    : transfer ? PollAction::TransferStep
                                               : PollAction::InvalidState;
        EXPECT_EQ(a, expected) << "state " << s;
        EXPECT_EQ(state, s) << "state " << s << " must not change without an abort";
    }
    int32_t big = INT32_MAX, low = INT32_MIN;
    EXPECT_EQ(DecidePoll(big, false), PollAction::InvalidState);
    EXPECT_EQ(DecidePoll(low, false), PollAction::InvalidState);
}

TEST(PollDispatch, AbortTurnsAnyStateButZeroIntoTheAbortStep)
{
    for (int32_t s : {1, 4, 5, 8, 12, 13, -1, 99}) {
        int32_t state = s;
        EXPECT_EQ(DecidePoll(state, true), PollAction::TransferStep) << "state " << s;
        EXPECT_EQ(state, kAbortTransferState) << "state " << s;
    }
    int32_t idle = 0;
    EXPECT_EQ(DecidePoll(idle, true), PollAction::TerminalReceive);
    EXPECT_EQ(idle, 0);
}

TEST(Title, FormatsProfilePortBaudAndVersion)
{
    EXPECT_EQ(FormatTitle("A", "COM2", 115200), "A - COM2: 115200 Baud -  Brondel  Quorrel - 251126G");
    EXPECT_EQ(FormatTitle("H", PortDisplayName("/dev/ttyUSB0"), 9600),
              "H - ttyUSB0: 9600 Baud -  Brondel  Quorrel - 251126G");
}

TEST(PortNames, DevicePathsAndDisplayNames)
{
#ifdef _WIN32
    EXPECT_EQ(DevicePathForPortNumber(12), "\\\\.\\COM12");
    EXPECT_EQ(PortDisplayName("\\\\.\\COM12"), "COM12");
#else
    EXPECT_EQ(DevicePathForPortNumber(2), "/dev/ttyS1");
#endif
    EXPECT_EQ(PortDisplayName("/dev/ttyACM0"), "ttyACM0");
    EXPECT_EQ(PortDisplayName("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(PortDisplayName("/run/user/1000/verrin-sim/port"), "/run/user/1000/verrin-sim/port");
}

TEST(ControlStates, FollowConnectedLoadingAndFlow)
{
    const WindowState idle{false, false, true}, active{true, false, true}, loading{true, true, true},
        activeNoFlow{true, false, false};
    struct Case {
        int id;
        bool idle, active, loading;
    };
    const Case cases[] = {
        {MainId::Connect, true, false, false},     {MainId::Disconnect, false, true, false},
        {MainId::ProfileList, true, false, false}, {MainId::Setup, true, false, false},
        {MainId::Select, true, true, true},        {MainId::Load, false, true, false},
        {MainId::Clear, false, true, false},       {MainId::Escape, false, true, false},
        {MainId::NetView, false, true, false},     {MainId::Command[9], false, true, false},
        {MainId::SetCmds, true, true, true},       {MainId::Capture, true, true, true},
        {MainId::Speed, false, false, false},      {MainId::SpeedLabel, false, false, false},
        {MainId::Terminal, false, true, false},    {MainId::RxCount, false, true, false},
        {MainId::FlowIndicator, false, true, true},
    };
    for (const Case &c : cases) {
        const ControlSpec *control = FindMainControl(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(IsEnabled(control->rule, idle), c.idle) << control->caption << control->role << " idle";
        EXPECT_EQ(IsEnabled(control->rule, active), c.active) << control->caption << control->role << " active";
        EXPECT_EQ(IsEnabled(control->rule, loading), c.loading) << control->caption << control->role << " loading";
    }
    EXPECT_FALSE(IsEnabled(FindMainControl(MainId::FlowIndicator)->rule, activeNoFlow));
    EXPECT_TRUE(IsTerminalActive(active));
    EXPECT_FALSE(IsTerminalActive(loading));
}

TEST(ControlStates, EveryControlHasACaptionOrARoleAndAUniqueId)
{
    std::set<int> ids;
    for (const ControlSpec &c : MainControls()) {
        EXPECT_TRUE(c.caption[0] || c.role[0]) << "control " << c.id;
        if (c.id) {
            EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        }
    }
    EXPECT_EQ(MainControls().size(), 33u);
}

TEST(DialogUnits, ConvertLikeWindows)
{
    // 6 x 13 base units: x * 6 / 4 and y * 13 / 8, rounded.
    const PixelRect r = DialogUnitsToPixels(7, 7, 428, 215, 6, 13);
    EXPECT_EQ(r.x, 11);
    EXPECT_EQ(r.y, 11);
    EXPECT_EQ(r.w, 642);
    EXPECT_EQ(r.h, 349);
}

TEST(Keyboard, DecisionsInTheTerminal)
{
    auto key = [](KeyKind kind, std::string text = "", bool ctrl = false, char letter = 0) {
        KeyPress k;
        k.terminalFocused = true;
        k.kind = kind;
        k.text = std::move(text);
        k.ctrl = ctrl;
        k.letter = letter;
        return DecideKeyPress(k);
    };
    KeyOutcome o = key(KeyKind::Other, "a", false, 'A');
    EXPECT_TRUE(o.consumed);
    EXPECT_EQ(o.send, "a");
    EXPECT_EQ(o.echo, "a");

    o = key(KeyKind::Enter);
    EXPECT_EQ(o.send, "\r\n");
    EXPECT_EQ(o.effect, TerminalEffect::Echo);
    EXPECT_EQ(o.echo, "\r\n");

    o = key(KeyKind::Backspace);
    EXPECT_EQ(o.send, "\x08");
    EXPECT_EQ(o.effect, TerminalEffect::RubOut);

    o = key(KeyKind::Other, "", true, 'C'); // Ctrl+C: no text from the platform
    EXPECT_EQ(o.send, "\x03");
    EXPECT_EQ(o.echo, "\x03");
    o = key(KeyKind::Other, "c", true, 'C'); // ... or a letter
    EXPECT_EQ(o.send, "\x03");
    o = key(KeyKind::Other, "\x1a", true, 'Z');
    EXPECT_EQ(o.send, "\x1a");

    for (KeyKind k : {KeyKind::Cut, KeyKind::Copy}) {
        o = key(k);
        EXPECT_TRUE(o.consumed);
        EXPECT_TRUE(o.send.empty());
        EXPECT_EQ(o.effect, TerminalEffect::None);
    }
    o = key(KeyKind::Other, ""); // arrows, shift alone
    EXPECT_FALSE(o.consumed);
    o = key(KeyKind::Other, "\xE9"); // a Latin-1 letter goes out as its byte
    EXPECT_EQ(o.send, "\xE9");
}

TEST(Keyboard, OutsideTheTerminalOnlyEnterIsSwallowed)
{
    KeyPress k;
    k.terminalFocused = false;
    k.kind = KeyKind::Enter;
    KeyOutcome o = DecideKeyPress(k);
    EXPECT_TRUE(o.consumed);
    EXPECT_TRUE(o.send.empty());
    k.kind = KeyKind::Other;
    k.text = "a";
    EXPECT_FALSE(DecideKeyPress(k).consumed);
    k.kind = KeyKind::Backspace;
    EXPECT_FALSE(DecideKeyPress(k).consumed);
}
