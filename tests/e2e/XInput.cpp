#include "e2e/XInput.h"

#include "common/Utf16Text.h"
#include "support/Subprocess.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {
bool Xdotool(std::vector<std::string> args)
{
    args.insert(args.begin(), "xdotool");
    return RunProgram(args, 10000) == 0; // its exit status, when it ended in time
}

// Puts sym on an unused keycode unless some key already gives it.
bool EnsureOnKeyboard(Display *display, KeySym sym)
{
    if (XKeysymToKeycode(display, sym) != 0)
        return true;
    int first = 0, last = 0, perCode = 0;
    XDisplayKeycodes(display, &first, &last);
    KeySym *map = XGetKeyboardMapping(display, KeyCode(first), last - first + 1, &perCode);
    if (!map)
        return false;
    int spare = 0;
    for (int code = last; code >= first && !spare; --code)
        if (std::all_of(map + (code - first) * perCode, map + (code - first + 1) * perCode,
                        [](KeySym k) { return k == NoSymbol; }))
            spare = code;
    XFree(map);
    if (spare) {
        XChangeKeyboardMapping(display, spare, 1, &sym, 1);
        XSync(display, False);
    }
    return spare != 0;
}
} // namespace

namespace XInput {
bool Keys(const std::string &keys)
{
    std::vector<std::string> args{"key"};
    std::istringstream names(keys);
    for (std::string name; names >> name;)
        args.push_back(name);
    return Xdotool(args);
}

bool Type(const std::string &text)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    std::vector<std::string> args{"key"};
    bool mapped = true;
    for (const char16_t cp : Utf8ToUtf16(text).value_or(u"")) { // the characters of the BMP
        // X names every character U+XXXX; below U+0100 that is its Latin-1 keysym.
        char name[16];
        std::snprintf(name, sizeof name, "U%04X", unsigned(cp));
        const KeySym sym = XStringToKeysym(name);
        mapped = mapped && sym != NoSymbol && EnsureOnKeyboard(display, sym);
        args.push_back(name);
    }
    XCloseDisplay(display);
    return mapped && Xdotool(args);
}

bool Click(const ScreenRect &rect, int button)
{
    // No --sync: it waits for the pointer to move, forever when it is there
    // already; the server handles the motion before the click all the same.
    return Xdotool({"mousemove", std::to_string(rect.x + rect.width / 2),
                    std::to_string(rect.y + rect.height / 2), "click", std::to_string(button)});
}

bool FocusWindowOf(pid_t pid)
{
    // Its hidden helper windows do not count; "." matches any window name.
    return Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid), "--name", ".",
                    "windowfocus", "--sync", "%1"});
}
} // namespace XInput
