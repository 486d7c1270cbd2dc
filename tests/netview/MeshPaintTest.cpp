// The painter, offscreen, through the pixels it leaves while the view waits:
// for the info reply, the status text alone; after a reply without nodes, the
// group box and the no-nodes box. The graph's layout and colours are checked
// through verrin-cli's pictures, which the same painter draws.
#include "FakeNetViewHost.h"
#include "netview/CMeshPainter.h"
#include "netview/MeshLayout.h"
#include "netview/MeshView.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

QColor Rgb(uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, value >> 16); }

QImage Paint(MeshScan &scan)
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(Qt::magenta); // anything the paint leaves out shows
    QPainter p(&image);
    QSize measured = image.size();
    CMeshPainter().Paint(p, image.rect(), scan, image.size(), measured);
    return image;
}

bool Shows(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

TEST(MeshPaint, ShowsTheStatusAloneWhileWaitingThenTheGroupAndTheNoNodesBox)
{
    // Waiting for the info reply: everything but the rows of the text, whose
    // top stands at H / 2, is background.
    ScanFixture f;
    const QImage info = Paint(f.scan);
    const int textHeight = QFontMetrics(QGuiApplication::font()).height();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; (y < 300 || y >= 300 + textHeight) && x < 800; ++x)
            ASSERT_EQ(info.pixelColor(x, y), Rgb(kViewBackgroundColor)) << x << "," << y;
    f.PassInfo();
    f.Reply("\r\nOK, nothing heard\r\n");
    const QImage empty = Paint(f.scan);
    EXPECT_TRUE(Shows(empty, Rgb(kGroupBoxColor)) && !Shows(empty, Rgb(kLocalNodeColor)));
    EXPECT_TRUE(Shows(empty, QGuiApplication::palette().color(QPalette::Base))) << "the no-nodes box";
    EXPECT_EQ(empty.pixelColor(kGroupBoxLeft, kGroupBoxTop + 12), QColor(Qt::black));
}

} // namespace
