// The main window on a real pseudo-terminal: its looks and control states,
// the receive loop, the keyboard path and the buttons of the terminal.
#include "app/CTerminalView.h"
#include "app/CVerrinDlg.h"
#include "app/TerminalViewText.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/WaitFor.h"
#include "support/MessageRecorder.h"
#include "support/Pty.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <cstring>
#include <thread>

namespace {
uint32_t BaseColorOf(QWidget *w)
{
    const QColor c = w->palette().color(w->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                        QPalette::Base);
    return uint32_t(c.red()) | (c.green() << 8) | (c.blue() << 16);
}

struct Window {
    PtyPair pty;
    MessageRecorder messages;
    std::unique_ptr<CVerrinDlg> dlg;

    Window()
    {
        CVerrinDlg::StartOptions options;
        options.portPath = QString::fromStdString(pty.path());
        dlg = std::make_unique<CVerrinDlg>(options, &messages);
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        (void)QTest::qWaitForWindowActive(dlg.get());
    }
    QWidget *control(int id) { return dlg->Control(id); }
    CTerminalView *view() { return static_cast<CTerminalView *>(control(MainId::Terminal)); }
    QString text(int id) { return static_cast<QLineEdit *>(control(id))->text(); }
    void click(int id) { static_cast<QAbstractButton *>(control(id))->click(); }
    void connect()
    {
        click(MainId::Connect);
        ASSERT_TRUE(dlg->IsConnected());
        view()->setFocus();
        ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == view(); }));
    }
    std::string terminal() { return std::string(dlg->Terminal().Text()); }
};
} // namespace

TEST(MainWindow, IdleLooksAndTitle)
{
    Window w;
    EXPECT_EQ(w.dlg->windowTitle().toStdString(),
              "A - " + w.pty.path() + ": 115200 Baud -  Brondel  Quorrel - 251126G");
    EXPECT_FALSE(w.view()->isEnabled());
    EXPECT_EQ(BaseColorOf(w.view()), 0xBBBBBBu);
    EXPECT_TRUE(w.control(MainId::Connect)->isEnabled());
    EXPECT_FALSE(w.control(MainId::Disconnect)->isEnabled());
    EXPECT_TRUE(w.control(MainId::Select)->isEnabled());
    EXPECT_FALSE(w.control(MainId::Speed)->isEnabled());
    EXPECT_EQ(w.text(MainId::RxCount), "0");
    for (const ControlSpec &control : MainControls()) {
        if (control.id) {
            EXPECT_FALSE(w.control(control.id)->accessibleName().isEmpty()) << control.id;
        }
    }
    EXPECT_EQ(w.view()->accessibleName(), "terminal view");
}

TEST(MainWindow, ConnectedTerminalReceivesFiltersCountsAndShowsHex)
{
    Window w;
    w.connect();
    EXPECT_TRUE(w.view()->isEnabled());
    EXPECT_EQ(BaseColorOf(w.view()), 0xFFDDDDu) << "DDDDFF as a 0x00BBGGRR value";
    EXPECT_FALSE(w.control(MainId::Connect)->isEnabled());
    EXPECT_FALSE(w.control(MainId::Setup)->isEnabled());

    w.pty.Write("AB\bC\t\x07\xE9\r\n");
    ASSERT_TRUE(WaitFor([&] { return w.text(MainId::RxCount) == "9"; }));
    EXPECT_EQ(w.terminal(), "AC\r\n");
    EXPECT_EQ(ShownText(w.view()), "AC\r\n");

    static_cast<QAbstractButton *>(w.control(MainId::BinaryMode))->setChecked(true);
    w.pty.Write("A\xFF");
    ASSERT_TRUE(WaitFor([&] { return w.text(MainId::RxCount) == "11"; }));
    EXPECT_EQ(w.terminal(), "AC\r\n 41 FF\r\n");

    w.click(MainId::Clear);
    EXPECT_EQ(w.terminal(), "");
    EXPECT_EQ(ShownText(w.view()), "");
    EXPECT_EQ(w.text(MainId::RxCount), "0");
    w.pty.Write("xyz");
    ASSERT_TRUE(WaitFor([&] { return w.text(MainId::RxCount) == "3"; }));
    w.click(MainId::Disconnect);
    EXPECT_EQ(BaseColorOf(w.view()), 0xBBBBBBu);
    w.click(MainId::Connect);
    EXPECT_EQ(w.text(MainId::RxCount), "3") << "reconnecting does not reset the count";
}

TEST(MainWindow, KeysGoToThePortAtOnceWithLocalEcho)
{
    Window w;
    w.connect();
    QTest::keyClick(w.view(), Qt::Key_Backspace);
    EXPECT_EQ(w.pty.Read(), "\x08");
    EXPECT_EQ(w.terminal(), "") << "backspace on an empty terminal changes nothing";

    QTest::keyClicks(w.view(), "at");
    QTest::keyClick(w.view(), Qt::Key_Return);
    EXPECT_EQ(w.pty.Read(), "at\r\n");
    EXPECT_EQ(w.terminal(), "at\r\n");
    QTest::keyClick(w.view(), Qt::Key_Backspace);
    EXPECT_EQ(w.pty.Read(), "\x08");
    EXPECT_EQ(w.terminal(), "at\r\n") << "a line end is not rubbed out";

    QTest::keyClicks(w.view(), "ok");
    QTest::keyClick(w.view(), Qt::Key_Backspace);
    QTest::keyClick(w.view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(w.pty.Read(), "ok\x08\x03");
    EXPECT_EQ(w.terminal(), "at\r\no\x03");
    EXPECT_EQ(ShownText(w.view()), "at\r\no\x03");

    // Enter on a button presses nothing and sends nothing.
    w.control(MainId::Clear)->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == w.control(MainId::Clear); }));
    QTest::keyClick(w.control(MainId::Clear), Qt::Key_Return);
    EXPECT_EQ(w.pty.Read(200), "");
    EXPECT_EQ(w.terminal(), "at\r\no\x03");
    EXPECT_TRUE(w.dlg->isVisible());

    w.click(MainId::Escape);
    EXPECT_EQ(w.pty.Read(), "^#^$^%");
    EXPECT_EQ(w.terminal(), "at\r\no\x03^#^$^%");
    EXPECT_TRUE(w.messages.messages.empty());
}

TEST(MainWindow, CommandButtonsSendTheirTextsAndEchoThem)
{
    Window w;
    w.connect();
    auto *cmd1 = static_cast<QAbstractButton *>(w.control(MainId::Command[0]));
    EXPECT_EQ(cmd1->text(), "Send Data");
    EXPECT_EQ(static_cast<QAbstractButton *>(w.control(MainId::Command[9]))->text(), "Send 100 lines");
    cmd1->click();
    const std::string expected = "at+ab SendData FFFF \"Hello World\\n\"\r\n";
    EXPECT_EQ(w.pty.Read(), expected);
    EXPECT_EQ(w.terminal(), expected);
    EXPECT_EQ(QApplication::focusWidget(), w.view());

    static_cast<QAbstractButton *>(w.control(MainId::BinaryMode))->setChecked(true);
    EXPECT_EQ(cmd1->text(), "HCI Reset");
    static_cast<QAbstractButton *>(w.control(MainId::Command[3]))->click();
    EXPECT_EQ(w.pty.Read(), std::string("\x00\x04\x3E\x26\x00\xCC\x00\x04\x3E\x26\x0A\xBC\xCD\x09\x80\xF0\xFF\x4A\x02", 19));
    EXPECT_EQ(w.terminal(), expected + "ESD Msg1\r\n");
}

TEST(MainWindow, BlockWiseLineTestArrivesWholeWithItsPauses)
{
    {
        CRegistry registry;
        Settings s;
        s.sendContinuous = 0;
        s.sendBlockSize = 256;
        s.sendMsPause = 100;
        SaveSettings(registry, "A", s);
    }
    Window w;
    w.connect();
    std::string received;
    std::thread reader([&] {
        while (received.size() < 3000) {
            const std::string chunk = w.pty.Read(5000, 20);
            if (chunk.empty())
                break;
            received += chunk;
        }
    });
    QElapsedTimer clock;
    clock.start();
    static_cast<QAbstractButton *>(w.control(MainId::Command[9]))->click();
    const qint64 ms = clock.elapsed();
    reader.join();
    std::string expected;
    for (int i = 1; i <= 100; ++i) {
        char line[31];
        std::snprintf(line, sizeof line, "Line %-5d%07d Bytes sent\r\n", i, i * 30);
        expected += line;
    }
    EXPECT_TRUE(received == expected) << received.size() << " bytes";
    EXPECT_EQ(w.terminal(), expected);
    EXPECT_GE(ms, 12 * 100 - 50) << "twelve blocks, each followed by its pause";
}

TEST(MainWindow, CaptureHoldsEveryReceivedByteInOrder)
{
    Window w;
    w.connect();
    auto *capture = static_cast<QAbstractButton *>(w.control(MainId::Capture));
    capture->click();
    ASSERT_EQ(capture->text(), "Stop Capture");
    ASSERT_EQ(w.messages.messages.size(), 1u);
    const QString path = QDir::home().filePath("verrin.dat");
    EXPECT_EQ(w.messages.messages[0].text, "Capture Started!!(Saved in " + path.toStdString() + ")");

    std::string data(50 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char((i * 2654435761u) >> 13);
    std::thread writer([&] { w.pty.Write(data); });
    const bool all = WaitFor([&] { return w.text(MainId::RxCount) == QString::number(data.size()); }, 120000);
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(w.text(MainId::Speed).endsWith(" B/s"));
    capture->click();
    EXPECT_EQ(capture->text(), "Start Capture");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    ASSERT_EQ(size_t(saved.size()), data.size());
    EXPECT_TRUE(std::memcmp(saved.constData(), data.data(), data.size()) == 0);
}

TEST(MainWindow, AStormOfBytesKeepsTheTextAndTheViewEqual)
{
    Window w;
    w.connect();
    std::string garbage(200000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131) ^ (i >> 3));
    // Written from a thread: the pty holds only a few kilobytes, and the
    // window must keep reading meanwhile.
    std::thread writer([&] { w.pty.Write(garbage); });
    const bool all = WaitFor([&] { return w.text(MainId::RxCount) == QString::number(garbage.size()); }, 10000);
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_EQ(ShownText(w.view()), w.terminal());
    for (char c : w.terminal())
        ASSERT_TRUE((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n') << int(c);
}

TEST(MainWindow, TheFarEndVanishingLeavesTheWindowIdleAfterOneMessage)
{
    Window w;
    w.connect();
    w.pty.CloseSlave();
    w.pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return !w.dlg->IsConnected(); }));
    QTest::qWait(400);
    EXPECT_EQ(w.messages.messages.size(), 1u);
    EXPECT_TRUE(w.control(MainId::Connect)->isEnabled());
    EXPECT_FALSE(w.view()->isEnabled());
}
