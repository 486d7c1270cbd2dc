#pragma once
// Reads another program's windows the way a screen reader does: through the
// accessibility bus of the desktop session (AT-SPI, libatspi). Nothing is
// cached on this side, so every value read is the program's at that moment.
// Use from one thread only.

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct _AtspiAccessible;

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct AccessibleStates {
    bool enabled = false, focused = false, checked = false, showing = false, active = false;
};

// One object of the program's tree (its application, a window, a control);
// an empty one when not found. A read from an object that has gone gives
// empty values.
class Accessible {
public:
    Accessible() = default;
    explicit Accessible(_AtspiAccessible *adopted); // takes over the reference

    explicit operator bool() const { return m_object != nullptr; }
    std::string Name() const;
    std::string Description() const;
    std::string Role() const; // "dialog", "push button", "check box", "text", ...
    AccessibleStates States() const;
    std::string Text() const; // the whole text of a text object, UTF-8
    ScreenRect Extents() const;
    pid_t ProcessId() const; // of the program the object belongs to
    std::vector<Accessible> Children() const;
    // The first object at or below this one, depth first, of that name and role.
    Accessible Find(const std::string &name, const std::string &role) const;

private:
    std::shared_ptr<_AtspiAccessible> m_object;
};

// Connects to the accessibility bus of the session that DBUS_SESSION_BUS_ADDRESS
// and DISPLAY name; gives the reason when it cannot.
bool StartAccessibility(std::string *error);
void StopAccessibility();

// The application that process pid registered; empty until it has.
Accessible FindApplication(pid_t pid);
