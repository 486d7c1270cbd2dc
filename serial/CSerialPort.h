#pragma once
// The port operations over QSerialPort: 8N1, the profile's baud rate, RTS/CTS
// when flow control is on. Reads never wait (they take what the driver already
// holds); writes return once every byte has been handed to the driver.
// Failures are shown to the user here, with the system's own text. A device
// that vanishes is told once: the port closes, and writes until it is opened
// again fail without a word.

#include "common/UserMessages.h"
#include "serial/SerialLink.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <functional>

class CSerialPort : public QObject, public SerialLink {
    Q_OBJECT
public:
    explicit CSerialPort(UserMessages &messages, QObject *parent = nullptr);

    // reportFailure false: a failure to open is not shown (the attempts of a
    // window that waits for its device to come back).
    bool OpenPort(const QString &devicePath, int32_t baudrate, bool flowEnabled, bool reportFailure = true);
    bool ClosePort();
    bool IsConnected() const { return m_connected; }
    bool IsOpen() const override { return m_connected; }
    // The device path of the last open.
    const QString &Path() const { return m_path; }

    // Whether a vanished device is told in a message box (the default) or
    // only signalled with PortLost, for a window that waits for it instead.
    void SetLossShown(bool shown) { m_lossShown = shown; }
    // The message of the last loss, as 8-bit text; empty before any.
    const std::string &LossMessage() const { return m_lossMessage; }

    // After a loss: looks for the device on the same path every 200 ms and
    // opens it again with the same settings, without showing the attempts
    // that fail (the device still settling); PortBack once it is open.
    void WaitForDevice() { m_lookForDevice.start(); }
    void StopWaiting() { m_lookForDevice.stop(); }
    bool Waiting() const { return m_lookForDevice.isActive(); }

    int32_t BytesWaiting() override;
    int32_t ReadByte() override;
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override;
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override;
    void SetRtsHandshake(bool on) override;

    // Writing without waiting, for a send too long to wait for: the bytes are
    // handed to the port and go out behind what it already holds; BytesSent
    // tells when the driver has taken some. Returns count, or -1 after
    // reporting the failure as WriteBytes does. A later failure of the write
    // is reported once and signalled by WriteFailed.
    int32_t QueueBytes(const uint8_t *buffer, uint32_t count);
    // How long the line takes for so many bytes at the rate: ten bits a byte (8N1).
    static qint64 LineTimeMs(qint64 bytes, int32_t baudrate) { return bytes * 10 * 1000 / std::max(baudrate, 1); }
    // Bytes handed over that the driver has not taken yet.
    qint64 BytesToWrite() const { return m_port.bytesToWrite(); }

    // Throws away what the device has received and nobody has read yet, such
    // as what a module said before the port was opened.
    void DiscardInput();

    uint32_t RxCount() const { return m_rxCount; }
    void ResetRxCount() { m_rxCount = 0; }

    // Called with every block that ReadBlock reads (capture to file).
    std::function<void(const uint8_t *, uint32_t)> blockObserver;

signals:
    // Bytes arrived from the device.
    void BytesArrived();
    // The driver took bytes of a write.
    void BytesSent();
    // A write handed over by QueueBytes failed; the user has been told and
    // what was left of it is dropped.
    void WriteFailed();
    // The device went away while connected; the port is closed and the user
    // has been told (unless SetLossShown(false)).
    void PortLost();
    // The device came back while waited for, and the port is open again.
    void PortBack();

private:
    void OnError(QSerialPort::SerialPortError error);
    // The device is gone: its path no longer exists, or the port reports it.
    bool DeviceGone() const;
    void Lose();
    void LookForDevice();
    void ShowSystemError(const QString &text, const char *caption);

    UserMessages &m_messages;
    QSerialPort m_port;
    QString m_path;
    bool m_connected = false;
    bool m_lost = false; // the device vanished since the port was last opened
    bool m_lossShown = true;
    std::string m_lossMessage;
    bool m_flowEnabled = false;
    bool m_inWriteBytes = false; // WriteBytes reports its own failures
    int32_t m_baudrate = 115200;
    uint32_t m_rxCount = 0;
    QTimer m_lookForDevice;
};
