#include "cli/PortReconnect.h"

#include "cli/ConsoleOutput.h"
#include "common/QtText.h"

#include <QFileInfo>

namespace {
constexpr int kLookIntervalMs = 200; // as the window looks for its device
}

PortReconnect::PortReconnect(CSerialPort &port, const Settings &settings, bool active,
                             std::function<void()> onBack)
    : m_port(port), m_settings(settings), m_active(active), m_onBack(std::move(onBack))
{
    // The loss is told here, with the wait, rather than as an error.
    m_port.SetLossShown(!active);
    m_timer.setInterval(kLookIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PortReconnect::TryOpen);
}

bool PortReconnect::Lost()
{
    if (!m_active)
        return false;
    PrintError(m_port.LossMessage() + " Waiting for it to come back.");
    m_timer.start();
    return true;
}

void PortReconnect::TryOpen()
{
    const QString path = FromCodePage(m_settings.portName);
    if (!QFileInfo::exists(path) ||
        !m_port.OpenPort(path, m_settings.baudrate, m_settings.flowEnabled != 0, false))
        return;
    m_timer.stop();
    PrintError("port " + m_settings.portName + " is back");
    m_onBack();
}
