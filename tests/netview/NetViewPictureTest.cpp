// The view's pixels and its picture. While it waits for the info reply, the
// status text alone; after a reply without nodes, the group box and the
// no-nodes box; with a mesh, a saved PNG exactly what it shows, at its size.
// The graph's layout and colours are checked through verrin-cli's pictures,
// which the same painter draws; the context menu, the file dialog and the
// scan going on behind them, by the end-to-end test on the real program.
#include "FakeNetViewHost.h"
#include "netview/CNetViewDlg.h"
#include "netview/MeshLayout.h"
#include "netview/MeshView.h"
#include "support/WaitFor.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QColor Rgb(uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, value >> 16); }

bool Shows(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

TEST(NetViewPicture, ThePaintWhileWaitingWithoutNodesAndAsAPngOfTheMesh)
{
    FakeNetViewHost host;
    CNetViewDlg view(host);
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // Everything but the rows of the text, whose top stands halfway down the
    // window (its frame included), is background.
    const QImage info = view.grab().toImage();
    const int top = view.frameGeometry().height() / 2;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; (y < top || y >= top + view.fontMetrics().height()) && x < 800; ++x)
            ASSERT_EQ(info.pixelColor(x, y), Rgb(kViewBackgroundColor)) << x << "," << y;

    host.terminal = " Version 1.0\r\nPublish Addr C001\r\n";
    ASSERT_TRUE(WaitFor([&] { return view.Scan().State() == ScanState::AwaitScan; }));
    host.terminal = "\r\nOK, nothing heard\r\n";
    ASSERT_TRUE(WaitFor([&] { return view.Scan().ScansTaken() == 1; }));
    const QImage empty = view.grab().toImage();
    EXPECT_TRUE(Shows(empty, Rgb(kGroupBoxColor)) && !Shows(empty, Rgb(kLocalNodeColor)));
    EXPECT_TRUE(Shows(empty, QGuiApplication::palette().color(QPalette::Base))) << "the no-nodes box";
    EXPECT_EQ(empty.pixelColor(kGroupBoxLeft, kGroupBoxTop + 12), QColor(Qt::black));

    view.findChild<QTimer *>("scanTimer")->setInterval(10); // the pause before the next scan, shortened
    ASSERT_TRUE(WaitFor([&] { return view.Scan().State() == ScanState::AwaitScan; }));
    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0002\r\n0:0001 -14  0003\r\n1:0002 -20  0004\r\n";
    ASSERT_TRUE(WaitFor([&] { return view.Scan().ScansTaken() == 2; }));
    QTemporaryDir dir;
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(Shows(shown, Rgb(kLocalNodeColor))) << "no mesh shown";
    ASSERT_EQ(view.SavePicture(dir.filePath("now.png")), QString());
    const QImage saved(dir.filePath("now.png"));
    EXPECT_TRUE(saved.size() == view.size() && saved.convertToFormat(QImage::Format_RGB32) == shown);
    EXPECT_FALSE(view.SavePicture(dir.filePath("now.jpg")).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("now.jpg"))) << "a name neither .png nor .svg is refused";
}

} // namespace
