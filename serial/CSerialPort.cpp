#include "serial/CSerialPort.h"

#include "common/QtText.h"
#include "serial/PortNames.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <cerrno>
#include <cstring>

namespace {
constexpr const char *kWriteErrorCaption = "Comm Port Write Error";
// QSerialPort keeps what it has read from the device in memory until Poll
// takes it. Past this much it stops reading, the driver's queue fills and
// the line's flow control holds the sender back. A poll step takes at most
// this much, so it caps the receive rate at 25 MB/s: above the 20 MB/s the
// terminal keeps up with, with room for a tick that comes late.
constexpr qint64 kReadBufferLimit = 2560 * 1024;
constexpr int kLookForDeviceMs = 200;
} // namespace

CSerialPort::CSerialPort(UserMessages &messages, QObject *parent)
    : QObject(parent), m_messages(messages)
{
    m_port.setReadBufferSize(kReadBufferLimit);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CSerialPort::OnError);
    connect(&m_port, &QSerialPort::readyRead, this, &CSerialPort::BytesArrived);
    connect(&m_port, &QSerialPort::bytesWritten, this, &CSerialPort::BytesSent);
    m_lookForDevice.setInterval(kLookForDeviceMs);
    connect(&m_lookForDevice, &QTimer::timeout, this, &CSerialPort::LookForDevice);
}

void CSerialPort::LookForDevice()
{
    if (!QFileInfo::exists(m_path) || !OpenPort(m_path, m_baudrate, m_flowEnabled, false))
        return;
    m_lookForDevice.stop();
    emit PortBack();
}

void CSerialPort::ShowSystemError(const QString &text, const char *caption)
{
    m_messages.Show(ToCodePage(text), caption, MessageIcon::Information);
}

bool CSerialPort::OpenPort(const QString &devicePath, int32_t baudrate, bool flowEnabled, bool reportFailure)
{
    if (m_connected) {
        m_messages.Show("Port already open", kPortErrorCaption, MessageIcon::Exclamation);
        return false;
    }
    m_path = devicePath;
    m_port.setPortName(devicePath);
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (!reportFailure)
            return false;
        const auto error = m_port.error();
        if (error == QSerialPort::DeviceNotFoundError || error == QSerialPort::PermissionError ||
            error == QSerialPort::OpenError) {
            m_messages.Show(kPortNotAvailable, kPortErrorCaption, MessageIcon::Exclamation);
        } else {
            ShowSystemError(m_port.errorString(), kPortErrorCaption);
        }
        return false;
    }
    const bool configured = baudrate > 0 && m_port.setBaudRate(baudrate) &&
                            m_port.setDataBits(QSerialPort::Data8) &&
                            m_port.setParity(QSerialPort::NoParity) &&
                            m_port.setStopBits(QSerialPort::OneStop) &&
                            m_port.setFlowControl(flowEnabled ? QSerialPort::HardwareControl
                                                              : QSerialPort::NoFlowControl);
    if (!configured) {
        if (reportFailure)
            ShowSystemError(baudrate > 0 ? m_port.errorString() : QStringLiteral("Invalid baud rate"),
                            kPortErrorCaption);
        m_port.close();
        return false;
    }
    m_connected = true;
    m_lost = false;
    m_flowEnabled = flowEnabled;
    m_baudrate = baudrate;
    // A pseudo-terminal has no modem lines: these fail there, and that is no
    // reason to close the port or to bother the user.
    m_port.setDataTerminalReady(true);
    if (!flowEnabled)
        m_port.setRequestToSend(true);
    m_port.clearError();
    return true;
}

bool CSerialPort::ClosePort()
{
    if (!m_connected)
        return false;
    m_port.close();
    m_connected = false;
    return true;
}

void CSerialPort::SetRtsHandshake(bool on)
{
    if (!m_connected)
        return;
    // With flow control on, RTS/CTS stays on through a download: CTS must go
    // on holding back what is sent while the module writes its flash, and
    // the serial drivers have no mode with CTS alone, so RTS stays driven by
    // the receive buffer too. Without flow control RTS is held asserted.
    if (!m_flowEnabled && !on) {
        m_port.setRequestToSend(true);
        m_port.clearError();
    }
}

int32_t CSerialPort::BytesWaiting()
{
    if (!m_connected)
        return 0;
    return static_cast<int32_t>(std::min<qint64>(m_port.bytesAvailable(), INT32_MAX));
}

int32_t CSerialPort::ReadByte()
{
    if (!m_connected || m_port.bytesAvailable() < 1)
        return -1;
    char c;
    if (!m_port.getChar(&c))
        return -1;
    return static_cast<int8_t>(c);
}

uint32_t CSerialPort::ReadBlock(uint8_t *buffer, int32_t max)
{
    if (!m_connected || max <= 0)
        return 0;
    const qint64 n = m_port.read(reinterpret_cast<char *>(buffer), max);
    if (n <= 0)
        return 0;
    m_rxCount += static_cast<uint32_t>(n);
    if (blockObserver)
        blockObserver(buffer, static_cast<uint32_t>(n));
    return static_cast<uint32_t>(n);
}

int32_t CSerialPort::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    const QScopedValueRollback<bool> reporting(m_inWriteBytes, true);
    const int32_t handed = QueueBytes(buffer, count);
    if (handed <= 0)
        return handed;
    // Synchronous: wait until the driver has taken every byte. The wait is
    // bounded by twice the line time plus a margin, so a peer that never
    // reads cannot freeze the window for good.
    QDeadlineTimer deadline(2 * LineTimeMs(count, m_baudrate) + 10000);
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(int(std::min<qint64>(deadline.remainingTime(), 1000))) &&
            (m_port.error() != QSerialPort::NoError && m_port.error() != QSerialPort::TimeoutError)) {
            if (!m_port.isOpen()) // the wait found the device gone and said so
                return -1;
            DeviceGone() ? Lose() : ShowSystemError(m_port.errorString(), kWriteErrorCaption);
            return -1;
        }
        if (deadline.hasExpired() && m_port.bytesToWrite() > 0) {
            ShowSystemError(QStringLiteral("The write timed out"), kWriteErrorCaption);
            m_port.clear(QSerialPort::Output);
            return -1;
        }
    }
    m_port.clearError();
    return static_cast<int32_t>(count);
}

int32_t CSerialPort::QueueBytes(const uint8_t *buffer, uint32_t count)
{
    if (!m_port.isOpen()) {
        if (!m_lost) // after a loss, the one message has been given
            ShowSystemError(QString::fromLocal8Bit(std::strerror(EBADF)), kWriteErrorCaption);
        return -1;
    }
    if (count == 0)
        return 0;
    if (m_port.write(reinterpret_cast<const char *>(buffer), count) != qint64(count)) {
        DeviceGone() ? Lose() : ShowSystemError(m_port.errorString(), kWriteErrorCaption);
        return -1;
    }
    return static_cast<int32_t>(count);
}

void CSerialPort::DiscardInput()
{
    if (m_connected)
        m_port.clear(QSerialPort::Input);
}

void CSerialPort::OnError(QSerialPort::SerialPortError error)
{
    if (!m_connected)
        return;
    // A device that vanished ends the connection: a resource error, a read
    // that fails (a hung-up tty reads end-of-file, with no error code of its
    // own), or a write that fails on a device that is gone.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        (error == QSerialPort::WriteError && DeviceGone())) {
        Lose();
        return;
    }
    if (error == QSerialPort::WriteError && !m_inWriteBytes) {
        // A queued write failed while the window went on: nobody waits
        // for it to report.
        const QString text = m_port.errorString();
        m_port.clear(QSerialPort::Output);
        m_port.clearError();
        emit WriteFailed();
        ShowSystemError(text, kWriteErrorCaption);
    }
    // Other errors belong to a call that reports them itself, or (modem lines
    // on a pty) are moot.
}

bool CSerialPort::DeviceGone() const
{
    return m_port.error() == QSerialPort::ResourceError || !QFileInfo::exists(m_path);
}

void CSerialPort::Lose()
{
    // Once the device is gone Qt keeps only the error of its last call, often
    // "Resource temporarily unavailable": the reason says what happened.
    QString reason = m_port.errorString();
    if (!QFileInfo::exists(m_path))
        reason = QString::fromLocal8Bit(std::strerror(ENODEV));
    else if (m_port.error() == QSerialPort::ReadError || reason == QString::fromLocal8Bit(std::strerror(EAGAIN)))
        reason = QString::fromLocal8Bit(std::strerror(EIO));
    m_lossMessage = PortLostMessage(PortDisplayName(ToCodePage(m_path)), ToCodePage(reason));
    m_port.close();
    m_connected = false;
    m_lost = true;
    emit PortLost();
    if (m_lossShown)
        m_messages.Show(m_lossMessage, kPortErrorCaption, MessageIcon::Information);
}
