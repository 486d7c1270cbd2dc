#pragma once
// What a key pressed in the main window does. Keys aimed at the terminal view
// never edit it: each typed character goes to the port at once and is echoed
// into the terminal text (local echo); Enter sends CR LF, Backspace sends 0x08
// and rubs out the last shown character. Enter never presses a button.

#include <string>

enum class KeyKind { Backspace, Enter, Cut, Copy, Other };

struct KeyPress {
    bool terminalFocused = false;
    KeyKind kind = KeyKind::Other;
    bool ctrl = false;
    bool alt = false;
    char letter = 0; // 'A'..'Z' when the key is a letter, else 0
    // The key types a character on the keyboard (letters, digits, signs,
    // Tab, Escape), as opposed to Delete, Insert, arrows, function keys or a
    // modifier alone.
    bool typesCharacter = false;
    // The characters the key types, as 8-bit text; a character without a
    // code in the 8-bit page is not in it.
    std::string text;
};

enum class TerminalEffect { None, RubOut, Echo };

struct KeyOutcome {
    bool consumed = false;  // the key must not reach the widget under the focus
    std::string send;       // bytes to write to the port, one write
    TerminalEffect effect = TerminalEffect::None;
    std::string echo;       // text for TerminalEffect::Echo
};

KeyOutcome DecideKeyPress(const KeyPress &key);
