// "Save Picture..." from the view's context menu while the scan runs: the
// scan keeps its pace behind the menu and the file dialog, and the picture is
// what the view shows.
#include "FakeNetViewHost.h"
#include "netview/CNetViewDlg.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A module that answers every scan command at once with the same mesh.
struct AnsweringModule : FakeNetViewHost {
    int32_t SendString(std::string_view text) override
    {
        terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0002\r\n0:0001 -14  0003\r\n1:0002 -20  0004\r\n";
        return FakeNetViewHost::SendString(text);
    }
    long Scans() const { return std::count(log.begin(), log.end(), "send:at+ab loranet C001\r\n"); }
};

TEST(NetViewPicture, SavedFromTheContextMenuWhileTheScanRuns)
{
    QTemporaryDir dir;
    AnsweringModule host;
    host.terminal = " Version 1.0\r\nPublish Addr C001\r\n";
    CNetViewDlg view(host);
    view.resize(700, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(WaitFor([&] { return view.Scan().ScansTaken() >= 1; }, 5000));

    // The user: picks the menu's entry, then keeps the file dialog open for
    // six seconds (a scan goes out every five) before naming the file.
    QStringList menuEntries;
    long scansBeforeDialog = -1, scansInDialog = -1;
    bool timerKeptItsPace = true;
    QElapsedTimer dialogOpen, running;
    running.start();
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (running.elapsed() > 30000) { // a fault must not hang the suite
            QWidget *top = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                              : QApplication::activeModalWidget();
            if (top && top != &view)
                top->close();
            return;
        }
        const QTimer *scanTimer = view.findChild<QTimer *>("scanTimer");
        timerKeptItsPace = timerKeptItsPace && scanTimer->isActive() && scanTimer->interval() == 1000;
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            if (!menuEntries.isEmpty())
                return;
            for (const QAction *a : menu->actions())
                menuEntries << a->text();
            // The entry opens the file dialog, whose loop must not run inside
            // this timer's tick: a timer is not called again while its tick runs.
            QMetaObject::invokeMethod(menu, [menu] {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }, Qt::QueuedConnection);
        } else if (auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            if (!dialogOpen.isValid()) {
                dialogOpen.start();
                scansBeforeDialog = host.Scans();
            } else if (dialogOpen.elapsed() > 6000) {
                scansInDialog = host.Scans() - scansBeforeDialog;
                auto *name = files->findChild<QLineEdit *>("fileNameEdit");
                name->clear();
                QTest::keyClicks(name, dir.filePath("menu.svg"));
                QTest::keyClick(name, Qt::Key_Return);
            }
        }
    });
    user.start(50);
    QTest::mouseClick(view.windowHandle(), Qt::RightButton, {}, QPoint(350, 250)); // returns when the menu has
    user.stop();

    EXPECT_EQ(menuEntries, QStringList{"Save Picture..."});
    EXPECT_GE(scansInDialog, 1) << "no scan while the file dialog was open";
    EXPECT_TRUE(timerKeptItsPace);
    for (size_t i = 0; i < host.log.size(); ++i)
        EXPECT_EQ(host.log[i], i % 2 ? "send:at+ab loranet C001\r\n" : "clear") << "the scan was disturbed";
    QFile svg(dir.filePath("menu.svg"));
    EXPECT_TRUE(svg.open(QIODevice::ReadOnly) && svg.readAll().contains(">Group C001</text>")) << "an SVG, by its name";

    // Exactly what the view shows, in the same state.
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(view.SavePicture(dir.filePath("now.png")), QString());
    EXPECT_TRUE(QImage(dir.filePath("now.png")).convertToFormat(QImage::Format_RGB32) == shown);
    EXPECT_TRUE(view.accessibleDescription().contains("Last scan: 4 nodes, +0 -0."))
        << view.accessibleDescription().toStdString();
    EXPECT_TRUE(!view.SavePicture(dir.filePath("now.jpg")).isEmpty() && !QFile::exists(dir.filePath("now.jpg")));
}

} // namespace
