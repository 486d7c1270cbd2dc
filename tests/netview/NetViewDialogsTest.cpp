#include "FakeNetViewHost.h"
#include "netview/CCloseNetview.h"
#include "netview/CNetViewDlg.h"
#include "netview/MeshLayout.h"
#include "netview/RunNetView.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Hands the active modal window to handle every 10 ms; after five seconds it
// rejects whatever is open instead, so that a test gone wrong still ends.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget *)> handle)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, handle] {
            if (QWidget *w = QApplication::activeModalWidget())
                ++m_calls > 500 ? static_cast<void>(QMetaObject::invokeMethod(w, "reject")) : handle(w);
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    int m_calls = 0;
};

QTimer *ScanTimer(const CNetViewDlg &view) { return view.findChild<QTimer *>("scanTimer"); }

TEST(CNetViewDlg, IsATopmostModalWindowThatEndsItsScanWithIt)
{
    FakeNetViewHost host;
    CNetViewDlg view(host);
    EXPECT_EQ(view.windowTitle(), "Quorrel 251126G");
    EXPECT_TRUE(view.isModal() && (view.windowFlags() & Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(view.accessibleName().isEmpty());
    view.show();
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_FALSE(ScanTimer(view)->isActive()) << "no scans after the view has ended";
}

TEST(CNetViewDlg, FailedGroupTestShowsTheMessageOnceAndEndsWithResult2)
{
    FakeNetViewHost host;
    host.terminal = " Version 1.0\r\nPublish Addr 8001\r\n";
    CNetViewDlg view(host);
    view.show();
    QStringList shown;
    bool timerHeldBack = false;
    ModalDriver driver([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            shown << box->text();
            timerHeldBack = !ScanTimer(view)->isActive() && box->icon() == QMessageBox::NoIcon;
            box->button(QMessageBox::Ok)->click();
        }
    });
    view.OnScanTick();
    EXPECT_EQ(shown, QStringList{kGroupAddressMessage});
    EXPECT_TRUE(timerHeldBack);
    EXPECT_EQ(view.result(), 2);
    EXPECT_EQ(host.log, (Log{"clear", "send:at+ab loranet 8001\r\n"}));
}

TEST(CNetViewDlg, ResizingLaysTheGraphOutAtOnce)
{
    FakeNetViewHost host;
    CNetViewDlg view(host);
    view.show();
    host.terminal = " Version 1.0\r\nPublish Addr C001\r\n";
    view.OnScanTick();
    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:0001 -12  0002\r\n";
    view.OnScanTick();
    EXPECT_TRUE(view.accessibleDescription().contains("Node 0002"));

    view.resize(1000, 700);
    QCoreApplication::processEvents();
    MeshTable expected = view.Scan().Table();
    ComputeLayout(view.frameGeometry().width(), view.frameGeometry().height(), expected);
    for (int32_t i = 0; i < expected.nodeCount; ++i)
        EXPECT_TRUE(view.Scan().Table().nodes[i].x == expected.nodes[i].x &&
                    view.Scan().Table().nodes[i].y == expected.nodes[i].y) << "node " << i;
    EXPECT_GT(expected.nodes[1].x, 800) << "laid out for the new width";
    view.grab().save(QStringLiteral(VERRIN_BIN_DIR "/netview_window.png"));
}

TEST(CCloseNetview, WaitsForTextThenClearsAndEnds)
{
    FakeNetViewHost host;
    CCloseNetview closing(host);
    closing.show();
    closing.OnCloseTick();
    EXPECT_TRUE(closing.isVisible() && host.log.empty()) << "the scan reply has not begun";
    host.terminal = "\r\nRe";
    closing.OnCloseTick();
    EXPECT_EQ(closing.result(), 1);
    EXPECT_EQ(host.log, Log{"clear"});

    // On its own timer: ends at the first tick, a second after it opens.
    FakeNetViewHost answered;
    answered.terminal = "OK";
    CCloseNetview timed(answered);
    QTimer::singleShot(5000, &timed, &QDialog::reject);
    EXPECT_EQ(timed.exec(), 1);
    EXPECT_EQ(answered.log, Log{"clear"});

    FakeNetViewHost silent;
    CCloseNetview escaped(silent);
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_TRUE(silent.log.empty()) << "Escape leaves the terminal as it is";
}

TEST(RunNetView, AsksForInfoThenRunsTheViewAndTheClosingDialog)
{
    FakeNetViewHost host;
    QStringList seen;
    ModalDriver driver([&](QWidget *w) {
        seen << w->windowTitle();
        if (auto *forceClose = w->findChild<QPushButton *>("forceClose"))
            forceClose->click(); // ends at once, on a silent port
        else
            static_cast<QDialog *>(w)->reject();
    });
    RunNetView(host, nullptr);
    EXPECT_EQ(seen, (QStringList{"Quorrel 251126G", "Closing Netview"}));
    EXPECT_EQ(host.log, (Log{"clear", "write:at+ab info\r\n", "clear"}));
}

} // namespace
