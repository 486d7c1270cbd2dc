#include "app/KeyInput.h"

KeyOutcome DecideKeyPress(const KeyPress &key)
{
    KeyOutcome out;
    if (!key.terminalFocused) {
        out.consumed = key.kind == KeyKind::Enter;
        return out;
    }
    switch (key.kind) {
    case KeyKind::Cut:
    case KeyKind::Copy:
        out.consumed = true;
        return out;
    case KeyKind::Backspace:
        out.consumed = true;
        out.send = "\x08";
        out.effect = TerminalEffect::RubOut;
        return out;
    case KeyKind::Enter:
        out.consumed = true;
        out.send = "\r\n";
        out.effect = TerminalEffect::Echo;
        out.echo = "\r\n";
        return out;
    case KeyKind::Other:
        break;
    }
    // Alt combinations type nothing, and must not reach a button's mnemonic
    // either.
    if (key.alt && !key.ctrl) {
        out.consumed = true;
        return out;
    }
    std::string chars = key.text;
    // Ctrl with a letter gives its control code 0x01..0x1A, whatever text the
    // platform attached to the key.
    if (key.ctrl && key.letter >= 'A' && key.letter <= 'Z')
        chars = std::string(1, static_cast<char>(key.letter - 'A' + 1));
    else if (!key.typesCharacter)
        return out; // the view may scroll with it; nothing goes out
    out.consumed = true;
    if (chars.empty())
        return out; // a character the 8-bit page has no code for
    out.send = chars;
    out.effect = TerminalEffect::Echo;
    out.echo = chars;
    return out;
}
