// Rules of the main window that need no window: port names and what a key
// does. The end-to-end tests read the title and press real keys.
#include "app/KeyInput.h"
#include "serial/PortNames.h"

#include <gtest/gtest.h>

// /dev/NAME shows as NAME; a deeper path (the end-to-end tests' pty) whole.
TEST(PortNames, ShowTheDevicesOwnNameWhereItHasOne)
{
    EXPECT_EQ(PortDisplayName("/dev/ttyUSB0"), "ttyUSB0");
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
