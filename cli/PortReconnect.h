#pragma once
// --reconnect of `send` and `scan`: when the port's device vanishes, wait for
// it to come back on the same path and open it again with the same settings,
// as the window does with "Reconnect". The loss and the return are told on
// stderr, one line each.

#include "serial/CSerialPort.h"

#include <QObject>
#include <functional>

class PortReconnect : public QObject {
public:
    // Without `active` a loss is told as an error and ends the command. onBack
    // runs once the port is open again.
    PortReconnect(CSerialPort &port, bool active, std::function<void()> onBack);

    // Call on the port's PortLost; false when the command must end.
    bool Lost();
    bool Waiting() const { return m_port.Waiting(); }

private:
    CSerialPort &m_port;
    bool m_active;
};
