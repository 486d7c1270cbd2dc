#pragma once
// The verrin program as a user runs it: build/verrin with its own main() and
// event loop, on the desktop session's display with accessibility on, and
// with settings, runtime files and home in folders of the test.

#include "e2e/Accessibility.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <optional>
#include <string>
#include <vector>

// A user's folders. Runs given the same folders see one another's settings
// and instance store, as after a restart.
class VerrinHome {
public:
    VerrinHome();
    std::string ConfigDir() const { return m_dir.Sub("config"); }
    std::string RuntimeDir() const { return m_dir.Sub("runtime"); }
    std::string HomeDir() const { return m_dir.Sub("home"); }
    std::string LogPath() const { return m_dir.path() + "/verrin.log"; }
    // The settings file ($XDG_CONFIG_HOME/Brondel/Verrin.reg, UTF-16LE) as
    // UTF-8 text; empty while there is none.
    std::string SettingsText() const;

private:
    TempDir m_dir{"verrin-home"};
};

class VerrinProcess {
public:
    // Starts verrin with these arguments; the session's variables must be in
    // this process's environment already.
    VerrinProcess(const VerrinHome &home, const std::vector<std::string> &arguments);
    ~VerrinProcess() { m_process.Stop(); }

    // Waits until the main window is shown and active (it has the keyboard).
    // False when the time ran out or the program ended; Problem() says which.
    bool WaitReady(int timeoutMs = 30000);
    // The main window as accessibility shows it; empty once it has gone.
    Accessible Window() const;
    // A control of the main window by accessible name and role.
    Accessible Control(const std::string &name, const std::string &role) const;

    pid_t Pid() const { return m_process.Pid(); }
    bool Running() { return m_process.Running(); }
    void Signal(int sig) { m_process.Signal(sig); }
    // The wait status once the program ended within timeoutMs.
    std::optional<int> WaitExit(int timeoutMs) { return m_process.Wait(timeoutMs); }
    // How the program stands ("still running", "exit status 0") and what it
    // printed, for failure messages.
    std::string Problem();

private:
    const VerrinHome &m_home;
    Subprocess m_process;
};
