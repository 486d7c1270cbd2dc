// Keys typed into the focused terminal, as the module sees them on the line.
#include "e2e/VerrinWindowTest.h"

// Each key is followed by a marker key ("z"), so that "sends nothing" is seen
// as the marker arriving alone. (Backspace and Return: the program test.) A case that ends the program fails alone: the
// next one starts it again with the same folders.
TEST_F(VerrinWindowTest, KeysInTheTerminalSendExactlyTheirBytes)
{
    const struct {
        const char *name;
        const char *keys; // xdotool key names, or
        const char *text; // a character typed
        std::string sends;
    } cases[] = {
        {"Escape", "Escape", nullptr, "\x1B"},
        {"Tab", "Tab", nullptr, "\t"},
        {"ctrl+c", "ctrl+c", nullptr, "\x03"},
        {"ctrl+z", "ctrl+z", nullptr, "\x1A"},
        {"shift+Delete (cut)", "shift+Delete", nullptr, ""},
        {"Delete", "Delete", nullptr, ""},
        {"Insert", "Insert", nullptr, ""},
        {"arrow keys", "Left Right Up Down", nullptr, ""},
        {"F5", "F5", nullptr, ""},
        {"alt+a", "alt+a", nullptr, ""},
        {"é (Windows-1252 E9)", nullptr, "é", "\xE9"},
        {"€ (Windows-1252 80)", nullptr, "€", "\x80"},
        {"ł (not in Windows-1252)", nullptr, "ł", ""},
    };
    for (const auto &c : cases) {
        if (!verrin || !verrin->Running()) {
            ASSERT_NO_FATAL_FAILURE(Start()) << "before " << c.name;
        }
        ASSERT_TRUE(c.keys ? XInput::Keys(c.keys) : XInput::Type(c.text)) << c.name;
        ASSERT_TRUE(XInput::Type("z")) << c.name;
        EXPECT_EQ(ReadUntil("z"), c.sends + "z") << c.name;
        EXPECT_TRUE(verrin->Running()) << c.name << " ended the program\n" << Problem();
    }
}
