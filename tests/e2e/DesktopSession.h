#pragma once
// A private desktop for window tests: an Xvfb display picked by the server
// itself, and a D-Bus session bus whose activated services (the
// accessibility bus and its registry among them) run with that display. All
// state lives in one temporary folder; everything ends with the object.

#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    bool ok() const { return m_error.empty(); }
    // Why the session did not start, with the servers' logs.
    const std::string &Error() const { return m_error; }
    // DISPLAY and DBUS_SESSION_BUS_ADDRESS of the session, and no variable
    // that would lead a program to another desktop, bus, input method or
    // session manager.
    EnvChanges Environment() const;

    // The programs a session needs that this machine lacks.
    static std::vector<std::string> MissingPrograms();

private:
    bool StartX();
    bool StartBus();
    std::string Logs() const;

    TempDir m_dir{"verrin-desktop"};
    Subprocess m_x, m_bus;
    std::string m_display, m_busAddress, m_error;
};
