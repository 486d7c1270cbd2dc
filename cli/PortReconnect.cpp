#include "cli/PortReconnect.h"

#include "cli/ConsoleOutput.h"
#include "common/QtText.h"

PortReconnect::PortReconnect(CSerialPort &port, bool active, std::function<void()> onBack)
    : m_port(port), m_active(active)
{
    // The loss is told here, with the wait, rather than as an error.
    m_port.SetLossShown(!active);
    connect(&m_port, &CSerialPort::PortBack, this, [this, onBack = std::move(onBack)] {
        PrintError("port " + ToCodePage(m_port.Path()) + " is back");
        onBack();
    });
}

bool PortReconnect::Lost()
{
    if (!m_active)
        return false;
    PrintError(m_port.LossMessage() + " Waiting for it to come back.");
    m_port.WaitForDevice();
    return true;
}
