// Rules of the main window that need no window: the title, port names and
// what a key does. The end-to-end tests press real keys.
#include "app/KeyInput.h"
#include "app/MainWindowRules.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>

// A path deeper than /dev/NAME shows whole: the end-to-end tests' pty.
TEST(TitleAndPortNames, ShowTheDevicesOwnNameWhereItHasOne)
{
    EXPECT_EQ(FormatTitle("H", PortDisplayName("/dev/ttyUSB0"), 9600),
              "H - ttyUSB0: 9600 Baud -  Brondel  Quorrel - 251126G");
    EXPECT_EQ(DevicePathForPortNumber(2), "/dev/ttyS1");
}

// What the end-to-end tests' keyboard cannot press: keys with a platform's
// other text, and keys on the other controls that are theirs. (Backspace,
// Ctrl+C and Enter on a button are pressed there.)
TEST(KeyDecisions, TerminalKeysGoToThePortAsTypedAndEnterElsewhereDoesNothing)
{
    using K = KeyKind;
    // focused, kind, ctrl, alt, letter, types a character, 8-bit text; what it
    // sends, and echoes: nothing when it goes to the control under the focus
    const struct { const char *name; KeyPress key; std::string sends; } cases[] = {
        {"Escape on a button is the dialog's", {false, K::Other, false, false, 0, true, "\x1B"}, ""},
        {"a letter on a button", {false, K::Other, false, false, 'A', true, "a"}, ""},
        {"Ctrl+Z with the platform's text", {true, K::Other, true, false, 'Z', true, "z"}, "\x1A"},
        {"Ctrl+H is appended, not rubbed out", {true, K::Other, true, false, 'H', true, ""}, "\x08"},
        {"Shift alone", {true, K::Other, false, false, 0, false, ""}, ""},
    };
    for (const auto &c : cases) {
        const KeyOutcome o = DecideKeyPress(c.key);
        const bool echoed = o.effect == TerminalEffect::Echo && o.echo == o.send;
        EXPECT_TRUE(o.consumed == !c.sends.empty() && o.send == c.sends &&
                    (c.sends.empty() ? o.effect == TerminalEffect::None : echoed)) << c.name;
    }
}
