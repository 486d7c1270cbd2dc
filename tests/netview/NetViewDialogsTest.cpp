#include "FakeNetViewHost.h"
#include "netview/CCloseNetview.h"
#include "netview/CNetViewDlg.h"
#include "netview/DialogUnits.h"
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

using Log = std::vector<std::string>;

// Calls handle with the active modal window every 10 ms while it lives; after
// five seconds it rejects whatever is open, so a test that goes wrong ends.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget *)> handle)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, handle] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            if (++m_calls > 500) {
                if (auto *d = qobject_cast<QDialog *>(w))
                    d->reject();
                return;
            }
            handle(w);
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
    int m_calls = 0;
};

TEST(CNetViewDlg, IsAModalTopmostWindowWithTheVersionInItsTitle)
{
    FakeNetViewHost host;
    CNetViewDlg view(host);
    EXPECT_EQ(view.windowTitle(), "Quorrel 251126G");
    EXPECT_TRUE(view.isModal());
    EXPECT_TRUE(view.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(view.size(), DialogUnitsRect(view.font(), 0, 0, 501, 310).size());
    EXPECT_FALSE(view.accessibleName().isEmpty());
    EXPECT_TRUE(view.findChild<QTimer *>("scanTimer")->isActive());
    view.show();
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_FALSE(view.findChild<QTimer *>("scanTimer")->isActive()) << "no scans after the end";
}

TEST(CNetViewDlg, FailedGroupTestShowsTheMessageOnceAndEndsWithResult2)
{
    FakeNetViewHost host;
    host.terminal = " Version 1.0\r\nPublish Addr 8001\r\n";
    CNetViewDlg view(host);
    view.show();
    QTimer *scanTimer = view.findChild<QTimer *>("scanTimer");
    QStringList shown;
    bool timerHeldBack = false;
    ModalDriver driver([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            shown << box->text();
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            timerHeldBack = !scanTimer->isActive();
            box->button(QMessageBox::Ok)->click();
        }
    });
    view.OnScanTick();
    EXPECT_EQ(shown, QStringList{kGroupAddressMessage});
    EXPECT_TRUE(timerHeldBack);
    EXPECT_EQ(view.result(), 2);
    EXPECT_FALSE(view.isVisible());
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
    const QSize outer = view.frameGeometry().size();
    ComputeLayout(outer.width(), outer.height(), expected);
    for (int32_t i = 0; i < expected.nodeCount; ++i) {
        EXPECT_EQ(view.Scan().Table().nodes[i].x, expected.nodes[i].x) << "node " << i;
        EXPECT_EQ(view.Scan().Table().nodes[i].y, expected.nodes[i].y) << "node " << i;
    }
    EXPECT_GT(view.Scan().Table().nodes[1].x, 800) << "laid out for the new width";
    view.grab().save(QStringLiteral(VERRIN_BIN_DIR "/netview_window.png"));
}

TEST(CCloseNetview, EndsOnceTheTerminalHoldsText)
{
    FakeNetViewHost host;
    CCloseNetview closing(host);
    closing.show();
    closing.OnCloseTick();
    EXPECT_TRUE(closing.isVisible()) << "the scan reply has not begun";
    EXPECT_TRUE(host.log.empty());

    host.terminal = "\r\nRe";
    closing.OnCloseTick();
    EXPECT_FALSE(closing.isVisible());
    EXPECT_EQ(closing.result(), 1);
    EXPECT_EQ(host.log, Log{"clear"});

    // The same on its own timer: the first tick, a second after it opens.
    FakeNetViewHost answered;
    answered.terminal = "OK";
    CCloseNetview timed(answered);
    QTimer::singleShot(5000, &timed, &QDialog::reject);
    EXPECT_EQ(timed.exec(), 1);
    EXPECT_EQ(answered.log, Log{"clear"});
}

TEST(CCloseNetview, ForceCloseClearsAndEscapeDoesNot)
{
    FakeNetViewHost host;
    CCloseNetview closing(host);
    closing.show();
    closing.findChild<QPushButton *>("forceClose")->click();
    EXPECT_EQ(closing.result(), 1);
    EXPECT_EQ(host.log, Log{"clear"});

    FakeNetViewHost other;
    CCloseNetview escaped(other);
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_TRUE(other.log.empty());
}

TEST(RunNetView, AsksForInfoThenRunsTheViewAndTheClosingDialog)
{
    FakeNetViewHost host;
    QStringList seen;
    ModalDriver driver([&](QWidget *w) {
        if (qobject_cast<CNetViewDlg *>(w)) {
            seen << w->windowTitle();
            static_cast<QDialog *>(w)->reject();
        } else if (qobject_cast<CCloseNetview *>(w)) {
            seen << w->windowTitle();
            w->findChild<QPushButton *>("forceClose")->click();
        }
    });
    RunNetView(host, nullptr);
    EXPECT_EQ(seen, (QStringList{"Quorrel 251126G", "Closing Netview"}));
    EXPECT_EQ(host.log, (Log{"clear", "write:at+ab info\r\n", "clear"}));
}

} // namespace
