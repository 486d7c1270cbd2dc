// The port operations against a real pseudo-terminal: what is written
// arrives exactly, what arrives is read and counted, and every failure gives
// its message.
#include "serial/CSerialPort.h"
#include "support/MessageRecorder.h"
#include "support/Pty.h"
#include "support/WaitFor.h"

#include <QTest>
#include <gtest/gtest.h>
#include <termios.h>

#include <thread>
#include <tuple>

namespace {
// A port, the messages it shows, and a pseudo-terminal for it to open.
struct Port {
    MessageRecorder shown;
    CSerialPort port{shown};
    PtyPair pty;
    bool Open() { return port.OpenPort(QString::fromStdString(pty.path()), 921600, false); }
    // Caption, text and icon of the message shown i-th.
    std::tuple<std::string, std::string, MessageIcon> Message(size_t i)
    {
        const RecordedMessage &m = shown.messages.at(i);
        return {m.caption, m.text, m.icon};
    }
};
} // namespace

TEST(SerialPort, FailuresShowTheirMessages)
{
    Port p;
    const uint8_t byte = 'x';
    EXPECT_EQ(p.port.WriteBytes(&byte, 1), -1);
    EXPECT_FALSE(p.port.OpenPort(QStringLiteral("/dev/verrin-no-such-port"), 115200, false));
    ASSERT_TRUE(p.Open());
    EXPECT_FALSE(p.Open());
    EXPECT_TRUE(p.port.ClosePort());
    EXPECT_FALSE(p.port.ClosePort());
    EXPECT_EQ(p.port.SendString(""), 0) << "an empty text writes nothing, even with the port closed";
    ASSERT_EQ(p.shown.messages.size(), 3u) << "a pty's missing modem lines are no error";
    EXPECT_EQ(std::get<0>(p.Message(0)), "Comm Port Write Error");
    EXPECT_EQ(std::get<2>(p.Message(0)), MessageIcon::Information) << "with the system's text";
    EXPECT_EQ(p.Message(1), std::make_tuple("Comm Port Error", "Comm Port not available", MessageIcon::Exclamation));
    EXPECT_EQ(p.Message(2), std::make_tuple("Comm Port Error", "Port already open", MessageIcon::Exclamation));
}

TEST(SerialPort, WrittenBytesArriveExactlyEvenPastThePtyBuffer)
{
    Port p;
    ASSERT_TRUE(p.Open());
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    std::string received;
    std::thread reader([&] {
        for (std::string chunk; received.size() < data.size() && !(chunk = p.pty.Read(5000, 20)).empty();)
            received += chunk;
    });
    EXPECT_EQ(p.port.WriteBytes(reinterpret_cast<const uint8_t *>(data.data()), uint32_t(data.size())),
              int32_t(data.size()));
    reader.join();
    EXPECT_TRUE(received == data) << "received " << received.size() << " of " << data.size();
}

// Single bytes are read as signed values, so 0xFF reads as "nothing waiting",
// and are not counted; blocks are. A far end that vanishes closes the port.
TEST(SerialPort, ReadsTakeOnlyWhatIsWaitingAndCountBlocksUntilTheFarEndVanishes)
{
    Port p;
    ASSERT_TRUE(p.Open());
    EXPECT_EQ(p.port.ReadByte(), -1);
    p.pty.Write("A\xFF");
    ASSERT_TRUE(WaitFor([&] { return p.port.BytesWaiting() == 2; }));
    EXPECT_EQ(p.port.ReadByte(), 'A');
    EXPECT_EQ(p.port.ReadByte(), -1);
    EXPECT_EQ(p.port.BytesWaiting(), 0);
    EXPECT_EQ(p.port.RxCount(), 0u);

    p.pty.Write(std::string("\x01\x02hello\x7F", 8));
    ASSERT_TRUE(WaitFor([&] { return p.port.BytesWaiting() == 8; }));
    uint8_t buffer[16];
    EXPECT_EQ(p.port.ReadBlock(buffer, 3), 3u);
    EXPECT_EQ(p.port.ReadBlock(buffer, 16), 5u);
    EXPECT_EQ(p.port.RxCount(), 8u);

}

// A device that vanishes is told once, whether a read or a write finds it
// gone: the message names the port and the system's reason, and the writes
// that follow (the rest of a block) fail without a word.
TEST(SerialPort, AVanishedDeviceIsToldOnceWhetherAReadOrAWriteFindsIt)
{
    for (const bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "found by a write" : "found by a read");
        Port p;
        ASSERT_TRUE(p.Open());
        p.pty.CloseSlave();
        p.pty.CloseMaster();
        if (writing) {
            const uint8_t block[6] = {2, 1, 0xFE, 0, 0, 0};
            for (const uint8_t &byte : block)
                EXPECT_EQ(p.port.WriteBytes(&byte, 1), -1);
        }
        ASSERT_TRUE(WaitFor([&] { return !p.port.IsConnected(); }));
        QTest::qWait(100); // room for a second message, if there were one
        ASSERT_EQ(p.shown.messages.size(), 1u) << p.shown.messages.back().text;
        EXPECT_EQ(p.Message(0), std::make_tuple("Comm Port Error", "Port " + p.pty.path() +
                                                    " is gone: its device was removed or closed (No such device).",
                                                MessageIcon::Information));
        EXPECT_EQ(p.port.SendString("at"), -1);
        EXPECT_EQ(p.shown.messages.size(), 1u);
    }
}

// RTS/CTS stays on through a download when flow control is on (CTS holds the
// sender back while the module writes its flash); it is never on without it.
TEST(SerialPort, TheDownloadKeepsTheProfilesFlowControl)
{
    for (const bool flow : {false, true}) {
        Port p;
        ASSERT_TRUE(p.port.OpenPort(QString::fromStdString(p.pty.path()), 115200, flow));
        const auto hardwareFlow = [&] {
            termios t{};
            return ::tcgetattr(p.pty.slave(), &t) == 0 && (t.c_cflag & CRTSCTS) != 0;
        };
        for (const bool handshake : {true, false, true}) { // connected, transfer, after it
            p.port.SetRtsHandshake(handshake);
            EXPECT_EQ(hardwareFlow(), flow) << "flow " << flow << ", handshake " << handshake;
        }
        EXPECT_TRUE(p.shown.messages.empty());
    }
}
