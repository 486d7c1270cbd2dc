#pragma once
// Real input on the session's display, as a user's keyboard and mouse make
// it: X events sent through xdotool to whatever window has the focus or lies
// under the pointer. Each call returns once xdotool has sent its events;
// whether the program has handled them is for the caller to wait for.

#include "e2e/Accessibility.h"

#include <string>

namespace XInput {
// Keys by their X names, one after another, each pressed and released:
// "Return", "Escape", "Delete", "F5", and chords such as "alt+a", "shift+Tab".
bool Keys(const std::string &keys);
// Text (UTF-8), one key per character. A character that the keyboard map
// lacks is first put on a spare keycode, where it stays for the session:
// xdotool's own stand-in mapping is undone right after the key, often before
// the program has read the new map, which then loses the key.
bool Type(const std::string &text);
// A mouse button (1 left, 3 right) pressed and released at the centre of rect.
bool Click(const ScreenRect &rect, int button = 1);
// Gives the keyboard to the shown window of process pid, as a window manager
// does for a window the user clicks; the session runs none.
bool FocusWindowOf(pid_t pid);
} // namespace XInput
