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

class MeshPaintTest : public ::testing::Test, protected ScanFixture {
protected:
    QImage Paint(const char *saveAs = nullptr)
    {
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(Qt::magenta); // anything the paint leaves out shows
        QPainter p(&image);
        QSize measured = image.size();
        CMeshPainter().Paint(p, image.rect(), scan, image.size(), measured);
        p.end();
        if (saveAs)
            image.save(QStringLiteral(VERRIN_BIN_DIR "/") + saveAs);
        return image;
    }
};

bool Shows(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

TEST_F(MeshPaintTest, DrawsNodesLinksAndGroupBox)
{
    PassInfo();
    Reply("\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:0001 -12  0002\r\n1:0002 -13  0003\r\n"
          "0:0001 -9  0004\r\n1:0004 -20  0005\r\n");
    const QImage image = Paint("netview_graph.png");
    const MeshTable &t = scan.Table();
    ASSERT_EQ(t.nodeCount, 5);

    EXPECT_EQ(image.pixelColor(795, 595), Rgb(kViewBackgroundColor));
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft + 2, kGroupBoxTop + 12), Rgb(kGroupBoxColor));
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft, kGroupBoxTop + 12), QColor(Qt::black));
    // Beside the centre: the address text covers the centre itself.
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        EXPECT_EQ(image.pixelColor(n.x - 20, n.y), Rgb(n.color)) << n.label << " " << n.address;
        EXPECT_EQ(image.pixelColor(n.x + 20, n.y), Rgb(n.color)) << n.label << " " << n.address;
    }
    // The first link, from the local node: its label box and its line.
    const NetNode &a = t.nodes[0], &b = t.nodes[t.FindNode(t.links[0].node)];
    const LayoutPoint label = LinkLabelOrigin(a.x, a.y, b.x, b.y);
    EXPECT_EQ(image.pixelColor(label.x - 1, label.y + 4), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(label.x - 2, label.y + 4), QColor(192, 192, 192));
    bool dark = false;
    for (int d = -1; d <= 1; ++d)
        dark = dark || image.pixelColor((3 * a.x + b.x) / 4, (3 * a.y + b.y) / 4 + d) == Qt::black;
    EXPECT_TRUE(dark) << "no line a quarter of the way from the relay";
}

TEST_F(MeshPaintTest, ShowsOnlyTheStatusWhileWaiting)
{
    // Everything but the rows of the text, whose top stands at H / 2, is background.
    const QImage info = Paint("netview_info.png");
    const int textHeight = QFontMetrics(QGuiApplication::font()).height();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; (y < 300 || y >= 300 + textHeight) && x < 800; ++x)
            ASSERT_EQ(info.pixelColor(x, y), Rgb(kViewBackgroundColor)) << x << "," << y;

    PassInfo();
    EXPECT_FALSE(Shows(Paint(), Rgb(kGroupBoxColor))) << "first paint of the scan";
    EXPECT_TRUE(Shows(Paint(), Rgb(kGroupBoxColor))) << "a repaint before the reply";
}

TEST_F(MeshPaintTest, ShowsNoNodesAfterAnEmptyScan)
{
    PassInfo();
    Reply("\r\nOK, nothing heard\r\n");
    const QImage image = Paint("netview_empty.png");
    EXPECT_TRUE(Shows(image, Rgb(kGroupBoxColor)));
    EXPECT_TRUE(Shows(image, QGuiApplication::palette().color(QPalette::Base)));
    for (uint32_t color : {kLocalNodeColor, kPlainNodeColor, kRelayNodeColor})
        EXPECT_FALSE(Shows(image, Rgb(color)));
}

} // namespace
