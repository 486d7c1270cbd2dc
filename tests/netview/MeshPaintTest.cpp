#include "FakeNetViewHost.h"
#include "netview/CMeshPainter.h"
#include "netview/MeshLayout.h"
#include "netview/MeshView.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

const QSize kWindow(800, 600);

QColor Rgb(uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, value >> 16); }

QImage PaintView(MeshScan &scan, const char *saveAs = nullptr)
{
    QImage image(kWindow, QImage::Format_RGB32);
    image.fill(Qt::magenta); // anything the paint leaves out shows
    QPainter p(&image);
    QSize measured = kWindow;
    CMeshPainter().Paint(p, image.rect(), scan, kWindow, measured);
    p.end();
    if (saveAs)
        image.save(QStringLiteral(VERRIN_BIN_DIR "/") + saveAs);
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

bool InsideANode(const MeshTable &t, int x, int y)
{
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const int dx = x - t.nodes[i].x, dy = y - t.nodes[i].y;
        if (dx * dx + dy * dy <= (kNodeRadius + 1) * (kNodeRadius + 1))
            return true;
    }
    return false;
}

class MeshPaintTest : public ::testing::Test {
protected:
    FakeNetViewHost host;
    RecordingScanEvents events;
    MeshScan scan{host, events};

    void ScanWithReply(const char *reply)
    {
        host.terminal = "\r\nVersion 2.1\r\nPublish Addr C001\r\n";
        scan.OnScanTick();
        host.terminal = reply;
        scan.OnScanTick();
    }
};

TEST_F(MeshPaintTest, DrawsNodesLinksAndGroupBox)
{
    ScanWithReply("\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:0001 -12  0002\r\n"
                  "1:0002 -13  0003\r\n0:0001 -9  0004\r\n1:0004 -20  0005\r\n");
    const QImage image = PaintView(scan, "netview_graph.png");
    const MeshTable &t = scan.Table();
    ASSERT_EQ(t.nodeCount, 5);

    EXPECT_EQ(image.pixelColor(795, 595), Rgb(kViewBackgroundColor));
    const int groupMiddle = kGroupBoxTop + (QFontMetrics(QFont("Arial", 8)).height() + 16) / 2;
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft + 2, groupMiddle), Rgb(kGroupBoxColor));
    EXPECT_EQ(image.pixelColor(kGroupBoxLeft, groupMiddle), QColor(Qt::black));

    // Beside the centre: the address text covers the centre itself.
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        EXPECT_EQ(image.pixelColor(n.x - 20, n.y), Rgb(n.color)) << n.label << " " << n.address;
        EXPECT_EQ(image.pixelColor(n.x + 20, n.y), Rgb(n.color)) << n.label << " " << n.address;
    }
    const int labelMiddle = QFontMetrics(QFont("Arial", 7)).height() / 2;
    for (int32_t l = 0; l < t.linkCount; ++l) {
        const NetNode &a = t.nodes[t.FindNode(t.links[l].relay)];
        const NetNode &b = t.nodes[t.FindNode(t.links[l].node)];
        const LayoutPoint at = LinkLabelOrigin(a.x, a.y, b.x, b.y);
        if (InsideANode(t, at.x - 2, at.y + labelMiddle))
            continue;
        EXPECT_EQ(image.pixelColor(at.x - 1, at.y + labelMiddle), QColor(Qt::white)) << "link " << l;
        EXPECT_EQ(image.pixelColor(at.x - 2, at.y + labelMiddle), QColor(192, 192, 192)) << "link " << l;
    }
    // The first link's line, a quarter of the way from its relay.
    const NetNode &a = t.nodes[0];
    const NetNode &b = t.nodes[t.FindNode(t.links[0].node)];
    const int qx = (3 * a.x + b.x) / 4, qy = (3 * a.y + b.y) / 4;
    bool dark = false;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            dark = dark || image.pixelColor(qx + dx, qy + dy) == QColor(Qt::black);
    EXPECT_TRUE(dark);
}

TEST_F(MeshPaintTest, ShowsOnlyTheStatusWhileWaiting)
{
    const QImage info = PaintView(scan, "netview_info.png");
    EXPECT_FALSE(Shows(info, Rgb(kGroupBoxColor)));
    // The centred text's top stands at half the window height.
    const int textHeight = QFontMetrics(QGuiApplication::font()).height();
    for (int y = 0; y < info.height(); ++y) {
        if (y >= 300 && y < 300 + textHeight)
            continue;
        for (int x = 0; x < info.width(); ++x)
            ASSERT_EQ(info.pixelColor(x, y), Rgb(kViewBackgroundColor)) << x << "," << y;
    }

    host.terminal = "\r\nVersion 2.1\r\nPublish Addr C001\r\n";
    scan.OnScanTick();
    EXPECT_FALSE(Shows(PaintView(scan), Rgb(kGroupBoxColor))) << "first paint of the scan";
    EXPECT_TRUE(Shows(PaintView(scan), Rgb(kGroupBoxColor))) << "a repaint before the reply";
}

TEST_F(MeshPaintTest, ShowsNoNodesAfterAnEmptyScan)
{
    ScanWithReply("\r\nOK, nothing heard\r\n");
    const QImage image = PaintView(scan, "netview_empty.png");
    EXPECT_TRUE(Shows(image, Rgb(kGroupBoxColor)));
    EXPECT_TRUE(Shows(image, QGuiApplication::palette().color(QPalette::Base)));
    for (uint32_t color : {kLocalNodeColor, kPlainNodeColor, kRelayNodeColor})
        EXPECT_FALSE(Shows(image, Rgb(color)));
}

} // namespace
