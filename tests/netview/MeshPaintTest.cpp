// The painter, offscreen, through the pixels it leaves.
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
    p.end();
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

TEST(MeshPaint, ShowsTheStatusAloneWhileWaitingThenTheGraph)
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

    for (int tick = 0; tick < 4; ++tick)
        f.scan.OnScanTick();
    f.Reply("\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:0001 -12  0002\r\n1:0002 -13  0003\r\n"
            "0:0001 -9  0004\r\n1:0004 -20  0005\r\n");
    const QImage image = Paint(f.scan);
    EXPECT_TRUE(image.save(VERRIN_BIN_DIR "/netview-paint.png")) << "the picture for a person to look at";
    const MeshTable &t = f.scan.Table();
    ASSERT_EQ(t.nodeCount, 5);
    EXPECT_EQ(image.pixelColor(795, 595), Rgb(kViewBackgroundColor));
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft + 2, kGroupBoxTop + 12), Rgb(kGroupBoxColor));
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft, kGroupBoxTop + 12), QColor(Qt::black));
    // Columns spread over the width less a margin, rows down the height, odd
    // rows a little left, the local node halfway down; the circles in the
    // colour of their kind beside the centre (the address text covers it).
    const QPoint centres[] = {{53, 240}, {400, 60}, {370, 220}, {400, 380}, {747, 60}};
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        EXPECT_EQ(QPoint(n.x, n.y), centres[i]) << "node " << i;
        EXPECT_TRUE(image.pixelColor(n.x - 20, n.y) == Rgb(n.color) && image.pixelColor(n.x + 20, n.y) == Rgb(n.color))
            << n.label << " " << n.address;
    }
    // The first link, from 0001 to 0003: its label box three quarters of the
    // way along, and its line.
    EXPECT_EQ(image.pixelColor(297 - 1, 95 + 4), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(297 - 2, 95 + 4), QColor(192, 192, 192));
    bool dark = false;
    for (int d = -1; d <= 1; ++d)
        dark = dark || image.pixelColor((3 * 53 + 400) / 4, (3 * 240 + 60) / 4 + d) == Qt::black;
    EXPECT_TRUE(dark) << "no line a quarter of the way from the relay";
}

} // namespace
