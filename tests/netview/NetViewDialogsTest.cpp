// The two windows of the mesh view and the sequence that runs them. The view
// against the virtual module, and the closing wait for its last reply, are
// the app suite's and the soak's.
#include "FakeNetViewHost.h"
#include "netview/CNetViewDlg.h"
#include "netview/RunNetView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A module whose info reply names a group that fails the group test.
struct UngroupedModule : FakeNetViewHost {
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        terminal = " Version 1.0\r\nPublish Addr 8001\r\n";
        return FakeNetViewHost::WriteBytes(bytes, count);
    }
};

TEST(RunNetView, ShowsAFailedGroupTestOnceThenWaitsForTheLastScan)
{
    UngroupedModule host;
    QStringList windows, messages;
    bool topmost = false, scanHeldBack = false;
    int ticks = 0;
    QTimer driver; // plays the user on every modal window that comes up; after ten seconds, closes them
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && ++ticks > 1000)
            w->close();
        if (!w || ticks > 1000)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(w)) { // each one is seen once: it goes at once
            const QTimer *scanTimer = w->parentWidget()->findChild<QTimer *>("scanTimer");
            messages << box->text();
            scanHeldBack = scanTimer && !scanTimer->isActive() && box->icon() == QMessageBox::NoIcon;
            box->button(QMessageBox::Ok)->click();
        } else if (windows.isEmpty() || windows.back() != w->windowTitle()) {
            windows << w->windowTitle();
            if (qobject_cast<CNetViewDlg *>(w))
                topmost = w->isModal() && (w->windowFlags() & Qt::WindowStaysOnTopHint) && !w->accessibleName().isEmpty();
            else
                QTest::keyClick(w, Qt::Key_Escape); // ends the closing wait without clearing
        }
    });
    driver.start(10);
    RunNetView(host, nullptr);
    EXPECT_EQ(windows, (QStringList{"Quorrel 251126G", "Closing Netview"}));
    EXPECT_TRUE(topmost);
    EXPECT_EQ(messages, QStringList{kGroupAddressMessage}) << "once";
    EXPECT_TRUE(scanHeldBack) << "no scan tick while the message is open";
    // The scan goes out all the same, and the closing wait leaves its reply alone.
    EXPECT_EQ(host.log, (Log{"clear", "write:at+ab info\r\n", "clear", "send:at+ab loranet 8001\r\n"}));
}

} // namespace
