// The port operations against a real pseudo-terminal: what is written
// arrives exactly, what arrives is read and counted, and every failure gives
// its message.
#include "serial/CSerialPort.h"
#include "support/WaitFor.h"
#include "support/MessageRecorder.h"
#include "support/Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

TEST(SerialPort, OpenFailuresShowTheirMessages)
{
    MessageRecorder messages;
    CSerialPort port(messages);
    EXPECT_FALSE(port.OpenPort(QStringLiteral("/dev/verrin-no-such-port"), 115200, false));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Comm Port not available");
    EXPECT_EQ(messages.messages[0].caption, "Comm Port Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(port.IsConnected());

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(port.OpenPort(QString::fromStdString(pty.path()), 115200, false));
    EXPECT_TRUE(messages.messages.size() == 1) << "a pty's missing modem lines are not an error";
    EXPECT_FALSE(port.OpenPort(QString::fromStdString(pty.path()), 115200, false));
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text, "Port already open");
    EXPECT_TRUE(port.IsConnected());
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.ClosePort());
}

TEST(SerialPort, WriteWithThePortClosedFails)
{
    MessageRecorder messages;
    CSerialPort port(messages);
    const uint8_t byte = 'x';
    EXPECT_EQ(port.WriteBytes(&byte, 1), -1);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Comm Port Write Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    EXPECT_FALSE(messages.messages[0].text.empty());
    EXPECT_EQ(port.SendString(""), 0) << "an empty string writes nothing";
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST(SerialPort, WrittenBytesArriveExactlyEvenPastThePtyBuffer)
{
    MessageRecorder messages;
    CSerialPort port(messages);
    PtyPair pty;
    ASSERT_TRUE(port.OpenPort(QString::fromStdString(pty.path()), 921600, false));
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    std::string received;
    std::thread reader([&] {
        while (received.size() < data.size()) {
            const std::string chunk = pty.Read(5000, 20);
            if (chunk.empty())
                break;
            received += chunk;
        }
    });
    EXPECT_EQ(port.WriteBytes(reinterpret_cast<const uint8_t *>(data.data()), uint32_t(data.size())),
              int32_t(data.size()));
    reader.join();
    EXPECT_TRUE(received == data) << "received " << received.size() << " of " << data.size();
    EXPECT_TRUE(messages.messages.empty());
}

TEST(SerialPort, ReadsTakeOnlyWhatIsWaitingAndCountBlocks)
{
    MessageRecorder messages;
    CSerialPort port(messages);
    PtyPair pty;
    ASSERT_TRUE(port.OpenPort(QString::fromStdString(pty.path()), 115200, false));
    std::string observed;
    port.blockObserver = [&](const uint8_t *b, uint32_t n) { observed.append(reinterpret_cast<const char *>(b), n); };

    EXPECT_EQ(port.ReadByte(), -1) << "nothing waiting";
    pty.Write(std::string("A\xFF", 2));
    ASSERT_TRUE(WaitFor([&] { return port.BytesWaiting() == 2; }));
    EXPECT_EQ(port.ReadByte(), 'A');
    EXPECT_EQ(port.ReadByte(), -1) << "0xFF reads like nothing waiting";
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(port.RxCount(), 0u) << "single-byte reads are not counted";

    pty.Write(std::string("\x01\x02hello\x7F", 8));
    ASSERT_TRUE(WaitFor([&] { return port.BytesWaiting() == 8; }));
    uint8_t buf[16];
    EXPECT_EQ(port.ReadBlock(buf, 3), 3u);
    EXPECT_EQ(port.ReadBlock(buf, 16), 5u);
    EXPECT_EQ(port.RxCount(), 8u);
    EXPECT_EQ(observed, std::string("\x01\x02hello\x7F", 8));
    port.ResetRxCount();
    EXPECT_EQ(port.RxCount(), 0u);
}

TEST(SerialPort, TheFarEndVanishingIsReportedOnceAndClosesThePort)
{
    MessageRecorder messages;
    CSerialPort port(messages);
    int lost = 0;
    QObject::connect(&port, &CSerialPort::PortLost, [&] { ++lost; });
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(port.OpenPort(QString::fromStdString(pty->path()), 115200, false));
    pty->CloseSlave();
    pty->CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return lost > 0; }));
    QTest::qWait(300);
    EXPECT_EQ(lost, 1);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Comm Port Error");
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(port.BytesWaiting(), 0);
}
