// The main window on a pseudo-terminal that this test reads and writes, where
// it must be fast and precise: the timing of a line test and its end. What a
// user sees and types is the end-to-end tests' (tests/e2e); capture through
// the window is the fault soak's (tests/soak).
#include "app/CTerminalView.h"
#include "app/ModuleWindow.h"
#include "support/Pty.h"

namespace {
struct PtyWindow : PtyPair, ModuleWindow {
    explicit PtyWindow(const Settings &s) : ModuleWindow(QString::fromStdString(path()), s) {}
    uint32_t Background() { return static_cast<CTerminalView *>(View())->BackgroundColor(); }
    // What the window sent, read while its event loop runs, until `enough`
    // bytes have come or nothing has for 300 ms.
    std::string Sent(size_t enough = SIZE_MAX)
    {
        std::string bytes;
        QElapsedTimer quiet;
        for (quiet.start(); bytes.size() < enough && quiet.elapsed() < 300;) {
            QTest::qWait(1);
            if (Take(bytes))
                quiet.restart();
        }
        return bytes;
    }
};

std::string LineTestBytes(int32_t count, size_t size)
{
    LineTestText text(count);
    std::string bytes(size, '\0');
    bytes.resize(text.Read(bytes.data(), size));
    return bytes;
}

// Counts the turns of the event loop, every 10 ms while it runs.
struct Ticks : QTimer {
    int count = 0;
    Ticks()
    {
        connect(this, &QTimer::timeout, [this] { ++count; });
        start(10);
    }
};
} // namespace

// A line test in blocks arrives whole with its pauses, the window running
// meanwhile; keys typed during it follow it, and the buttons that send wait
// for its end. Where the pauses fall is the line test feed's own test.
TEST(MainWindow, ALineTestInBlocksPausesWithoutHoldingTheWindowAndTypedKeysFollowIt)
{
    Settings blocks; // 100 lines in blocks of 256 bytes: twelve blocks, a pause after each
    blocks.sendContinuous = 0;
    blocks.sendMsPause = 40;
    PtyWindow w(blocks);
    ASSERT_TRUE(w.dlg->IsConnected());
    Ticks ticks;
    QElapsedTimer sending;
    sending.start();
    w.Button(MainId::Command[9])->click();
    EXPECT_FALSE(w.Button(MainId::Command[0])->isEnabled()) << "CMD1 waits for the line test";
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == w.View(); }));
    QTest::keyClicks(w.View(), "at");
    QTest::keyClick(w.View(), Qt::Key_Return);
    std::string sent = w.Sent(3000);
    EXPECT_GE(sending.elapsed(), 11 * 40 - 20) << "a pause after each of the first eleven blocks";
    EXPECT_GE(ticks.count, 20) << "the window ran during the pauses";
    const std::string lines = LineTestBytes(100, 3000);
    EXPECT_EQ(sent + w.Sent(), lines + "at\r\n");
    EXPECT_EQ(w.Text(), lines + "at\r\n");
    EXPECT_TRUE(w.Button(MainId::Command[0])->isEnabled());
    EXPECT_TRUE(w.messages.messages.empty()) << w.LastMessage();
}

// Fifty million lines (1.5 GB) start at once and go only as fast as the
// module reads, the window running all the while; "Disconnect" stops them
// after exactly the bytes the line test begins with, and losing the device
// stops them with a single message. Connected, the terminal has the profile's
// colour; disconnected, grey.
TEST(MainWindow, AHugeLineTestStreamsUntilDisconnectOrTheDeviceGoes)
{
    Settings huge;
    huge.sendCmd[9] = "50000000";
    PtyWindow w(huge);
    ASSERT_TRUE(w.dlg->IsConnected());
    EXPECT_EQ(w.Background(), 0xFFDDDDu) << "the profile's DDDDFF, as 0x00BBGGRR";
    Ticks ticks;
    w.Button(MainId::Command[9])->click();
    std::string got = w.Sent(5 << 20);
    ASSERT_GE(got.size(), 5u << 20); // its echo passes the terminal's limit
    const int ticksBefore = ticks.count;
    QTest::qWait(200); // nobody reads: the pty fills and the window waits
    EXPECT_GE(ticks.count - ticksBefore, 10) << "the window runs while the port is full";
    w.Button(MainId::Disconnect)->click();
    got += w.Sent();
    EXPECT_TRUE(got == LineTestBytes(50000000, got.size())) << got.size() << " bytes are not the line test's first";
    EXPECT_LT(w.dlg->Terminal().Length(), TerminalText::kLimit);
    EXPECT_TRUE(w.messages.messages.empty()) << w.LastMessage();
    EXPECT_EQ(w.Background(), 0xBBBBBBu);

    ASSERT_TRUE(w.Connect());
    EXPECT_TRUE(w.Button(MainId::Command[0])->isEnabled()) << "the line test ended with the connection";
    w.Button(MainId::Command[9])->click();
    EXPECT_FALSE(w.Sent(1).empty());
    w.CloseMaster();
    EXPECT_TRUE(w.LossToldOnce(0));
}
