#pragma once
// The ports of this computer as the Setup dialog sees them: the serial
// devices Qt knows of plus the virtual module's published port, each probed
// by opening it for a moment.

#include "dialogs/PortList.h"

#include <QString>
#include <QStringList>
#include <utility>

class CPortProber : public PortProber {
public:
    struct Options {
        // Whether ListDevices includes the ports QSerialPortInfo reports
        // (tests leave the machine's own ports alone).
        bool systemPorts = true;
        // Where programs put UUCP-style lock files (LCK..ttyUSB0) for the
        // ports they hold; QSerialPort uses the first writable one.
        QStringList lockDirectories = DefaultLockDirectories();
    };

    CPortProber() : CPortProber(Options()) {}
    explicit CPortProber(Options options) : m_options(std::move(options)) {}

    std::vector<std::string> ListDevices() override;
    PortProbe Probe(const std::string &devicePath) override;

    // $XDG_RUNTIME_DIR/verrin-sim, where virtual modules publish their
    // pseudo-terminals as port, port2, port3 ..
    static QString VirtualModuleFolder();
    static QStringList DefaultLockDirectories();

private:
    Options m_options;
};
