// The main window on a pseudo-terminal that this test reads and writes: its
// looks and control states, the receive loop, the keyboard path, the buttons
// that send and capture.
#include "app/CTerminalView.h"
#include "app/ModuleWindow.h"
#include "support/Pty.h"

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {
struct PtyWindow : PtyPair, ModuleWindow {
    PtyWindow() : ModuleWindow(QString::fromStdString(path())) {}
    uint32_t Background() { return static_cast<CTerminalView *>(View())->BackgroundColor(); }

    // Clicks a button whose send holds the window until it is done, while a
    // thread of the test reads the pty; returns what came and sets the time
    // from the click to its last byte.
    std::string ReadDuringClick(int id, size_t bytes, std::chrono::milliseconds &lastByte)
    {
        std::string got;
        const auto start = std::chrono::steady_clock::now();
        std::thread reader([&] {
            for (int idle = 0; got.size() < bytes && idle < 100;) { // 10 s without a byte ends it
                char buffer[65536];
                pollfd p{master(), POLLIN, 0};
                const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(master(), buffer, sizeof buffer) : 0;
                idle = n > 0 ? 0 : idle + 1;
                got.append(buffer, size_t(std::max<ssize_t>(n, 0)));
                if (n > 0)
                    lastByte = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start);
            }
        });
        Button(id)->click();
        reader.join();
        return got;
    }
};
} // namespace

TEST(MainWindow, LooksFollowTheConnectionAndReceivedBytesAreFilteredCountedOrShownInHex)
{
    PtyWindow w; // connected at start
    EXPECT_TRUE(w.View()->isEnabled());
    EXPECT_EQ(w.Background(), 0xFFDDDDu) << "the profile's DDDDFF, as 0x00BBGGRR";
    EXPECT_FALSE(w.Button(MainId::Connect)->isEnabled());
    w.Write("AB\bC\t\x07\xE9\r\n");
    ASSERT_TRUE(WaitFor([&] { return w.RxCount() == 9; }));
    EXPECT_EQ(w.Text(), "AC\r\n");
    w.Button(MainId::BinaryMode)->setChecked(true);
    w.Write("A\xFF");
    ASSERT_TRUE(WaitFor([&] { return w.RxCount() == 11; }));
    EXPECT_EQ(w.Text(), "AC\r\n 41 FF\r\n");

    w.Button(MainId::Clear)->click();
    EXPECT_EQ(w.Text(), "");
    EXPECT_EQ(w.RxCount(), 0);
    w.Write("xyz");
    ASSERT_TRUE(WaitFor([&] { return w.RxCount() == 3; }));
    w.Button(MainId::Disconnect)->click();
    EXPECT_EQ(w.dlg->windowTitle().toStdString(), "A - " + w.path() + ": 115200 Baud -  Brondel  Quorrel - 251126G");
    EXPECT_FALSE(w.View()->isEnabled());
    EXPECT_EQ(w.Background(), 0xBBBBBBu);
    EXPECT_FALSE(w.Button(MainId::Disconnect)->isEnabled());
    for (const ControlSpec &control : MainControls())
        EXPECT_TRUE(!control.id || !w.dlg->Control(control.id)->accessibleName().isEmpty()) << control.id;
    ASSERT_TRUE(w.Connect());
    EXPECT_EQ(w.RxCount(), 3) << "reconnecting does not reset the count";
}

TEST(MainWindow, KeysAndButtonsGoToThePortAtOnceWithLocalEcho)
{
    PtyWindow w;
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == w.View(); }));
    const struct {
        const char *name;
        QString text; // typed, or else sent with the key
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::string sent, terminal; // what the port gets, and the terminal after
    } steps[] = {
        {"backspace on nothing", {}, Qt::Key_Backspace, {}, "\x08", ""},
        {"text", "at", {}, {}, "at", "at"},
        {"enter", {}, Qt::Key_Return, {}, "\r\n", "at\r\n"},
        {"backspace spares a line end", {}, Qt::Key_Backspace, {}, "\x08", "at\r\n"},
        {"more text", "ok", {}, {}, "ok", "at\r\nok"},
        {"backspace", {}, Qt::Key_Backspace, {}, "\x08", "at\r\no"},
        {"Ctrl+C", {}, Qt::Key_C, Qt::ControlModifier, "\x03", "at\r\no\x03"},
        {"Ctrl+Z", {}, Qt::Key_Z, Qt::ControlModifier, "\x1A", "at\r\no\x03\x1A"},
        {"a Latin-1 letter as its byte", QString(QChar(0xE9)), Qt::Key_Eacute, {}, "\xE9", "at\r\no\x03\x1A\xE9"},
        {"cut (Shift+Del) sends nothing", "\x7F", Qt::Key_Delete, Qt::ShiftModifier, "", "at\r\no\x03\x1A\xE9"},
        {"Tab as its character", "\t", Qt::Key_Tab, {}, "\t", "at\r\no\x03\x1A\xE9\t"},
        {"Shift+Tab leaves the terminal", {}, Qt::Key_Backtab, Qt::ShiftModifier, "", "at\r\no\x03\x1A\xE9\t"},
    };
    for (const auto &step : steps) {
        if (step.key)
            QTest::sendKeyEvent(QTest::Click, w.View(), step.key, step.text, step.modifiers);
        else
            QTest::keyClicks(w.View(), step.text);
        EXPECT_EQ(w.Read(step.sent.empty() ? 200 : 1000), step.sent) << step.name;
        EXPECT_EQ(w.Text(), step.terminal) << step.name;
        EXPECT_EQ(QApplication::focusWidget() == w.View(), step.key != Qt::Key_Backtab) << step.name;
    }

    // Enter on a button presses nothing and sends nothing.
    QWidget *clear = w.Button(MainId::Clear);
    clear->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == clear; }));
    const std::string typed = w.Text();
    QTest::keyClick(clear, Qt::Key_Return);
    EXPECT_EQ(w.Read(200), "");
    EXPECT_EQ(w.Text(), typed);
    EXPECT_TRUE(w.dlg->isVisible());

    w.Button(MainId::Escape)->click();
    EXPECT_EQ(w.Read(), "^#^$^%");
    EXPECT_EQ(w.Text(), typed + "^#^$^%");

    w.Button(MainId::Clear)->click();
    auto *cmd1 = w.Button(MainId::Command[0]);
    EXPECT_EQ(cmd1->text(), "Send Data");
    cmd1->click();
    const std::string sent = "at+ab SendData FFFF \"Hello World\\n\"\r\n";
    EXPECT_EQ(w.Read(), sent);
    EXPECT_EQ(w.Text(), sent);
    EXPECT_EQ(QApplication::focusWidget(), w.View());
    w.Button(MainId::BinaryMode)->setChecked(true);
    EXPECT_EQ(cmd1->text(), "HCI Reset");
    // Binary mode: CMD1 sends its test message, CMD9 nothing; both hand the
    // focus to the terminal.
    for (const int n : {1, 9}) {
        w.Button(MainId::Select)->setFocus();
        ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == w.Button(MainId::Select); }));
        w.Button(MainId::Command[n - 1])->click();
        EXPECT_EQ(w.Read(n == 1 ? 1000 : 200), n == 1 ? std::string("\x01\x03\x0C\x00", 4) : "") << "CMD" << n;
        EXPECT_EQ(QApplication::focusWidget(), w.View()) << "CMD" << n;
    }
    EXPECT_EQ(w.Text(), sent + "HCI RESET\r\n");
    EXPECT_TRUE(w.messages.messages.empty());
}

// A line test in blocks arrives whole and in order, its last block no sooner
// than the pauses between blocks allow; a binary message with NUL bytes in it
// arrives whole. (That it goes in one write shows only at the link, in
// commands_test.cpp: a pty joins writes.)
TEST(MainWindow, ALineTestInBlocksArrivesAfterItsPausesAndABinaryMessageWhole)
{
    Settings blocks; // 100 lines in blocks of 256 bytes: twelve blocks, eleven pauses between them
    blocks.sendContinuous = 0;
    blocks.sendMsPause = 30;
    {
        CRegistry registry;
        SaveSettings(registry, "A", blocks);
    }
    PtyWindow w;
    ASSERT_TRUE(w.dlg->IsConnected());
    std::chrono::milliseconds last{};
    const std::string lines = *BuildLineTestText(100);
    EXPECT_EQ(w.ReadDuringClick(MainId::Command[9], lines.size(), last), lines);
    EXPECT_GE(last.count(), 11 * 30);

    w.Button(MainId::BinaryMode)->setChecked(true);
    w.Button(MainId::Command[3])->click();
    const std::string esdMsg1("\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCD\x09\x80\xF0\xFF\x4A\x02", 19);
    EXPECT_EQ(w.Read(), esdMsg1);
    EXPECT_TRUE(w.messages.messages.empty()) << w.LastMessage();
}

// 50 MB of random bytes, written as the window reads them while capture runs,
// reach the capture file whole and in order.
TEST(MainWindow, CaptureSavesEveryReceivedByteInOrder)
{
    PtyWindow w;
    std::string bytes(50 << 20, '\0');
    std::mt19937 random(50);
    std::generate(bytes.begin(), bytes.end(), [&] { return char(random()); });
    QAbstractButton *capture = w.Button(MainId::Capture);
    capture->click();
    ASSERT_EQ(capture->text(), "Stop Capture") << w.LastMessage();
    std::atomic<bool> stop{false};
    std::thread writer([&] { // as fast as the pty takes them, while the window reads
        for (size_t sent = 0; sent < bytes.size() && !stop;) {
            pollfd p{w.master(), POLLOUT, 0};
            const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::write(w.master(), &bytes[sent], bytes.size() - sent) : 0;
            sent += n > 0 ? size_t(n) : 0;
        }
    });
    EXPECT_TRUE(WaitFor([&] { return w.RxCount() == long(bytes.size()); }, 120000))
        << w.RxCount() << " of " << bytes.size() << " bytes received";
    stop = true;
    writer.join();
    capture->click();
    EXPECT_EQ(capture->text(), "Start Capture");
    const QByteArray saved = ReadWholeFile(QDir::home().filePath("verrin.dat"));
    EXPECT_EQ(size_t(saved.size()), bytes.size());
    EXPECT_TRUE(bytes.compare(0, bytes.size(), saved.constData(), size_t(saved.size())) == 0)
        << "the capture is not the bytes received";
}
