#include "netview/CMeshPainter.h"

#include "common/QtText.h"
#include "dialogs/ColorText.h"
#include "netview/MeshLayout.h"
#include "netview/MeshView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {

QColor FromColorValue(uint32_t value) { return QColor(RedOf(value), GreenOf(value), BlueOf(value)); }

QFont ArialPoints(int points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    return font;
}

// The box of a figure given by left, top, right and bottom, outline included,
// right and bottom excluded; a 1-pixel pen in Qt outlines one pixel wider.
QRect FigureBox(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left - 1, bottom - top - 1);
}

// Text with its top-left corner at (x, y), in the painter's font.
void TextAt(QPainter &p, int x, int y, const QString &text)
{
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

QString Q(const std::string &s) { return FromCodePage(s); }

} // namespace

CMeshPainter::CMeshPainter()
    : m_addressFont(ArialPoints(9)), m_groupFont(ArialPoints(8)), m_smallFont(ArialPoints(7))
{
}

QFont CMeshPainter::DialogFont() { return QFont(QStringLiteral("MS Shell Dlg"), 8); }

void CMeshPainter::Paint(QPainter &p, const QRect &client, MeshScan &scan, QSize windowSize,
                         QSize &measured) const
{
    const ViewStatus status = TakeViewStatus(scan);
    Paint(p, client, status, scan.Table(), scan.GroupAddress(), windowSize, measured);
}

void CMeshPainter::Paint(QPainter &p, const QRect &client, const ViewStatus &status,
                         MeshTable &table, uint32_t groupAddress, QSize windowSize,
                         QSize &measured) const
{
    p.fillRect(client, FromColorValue(kViewBackgroundColor));

    if (LayoutApplies(table)) {
        measured = windowSize;
        ComputeLayout(measured.width(), measured.height(), table);
    }

    const QFont defaultFont = p.font();
    const QPen blackPen(Qt::black, 1);
    p.setPen(blackPen);
    p.setBackgroundMode(Qt::TransparentMode);

    if (status.centred) {
        const QString text = Q(status.text);
        const LayoutPoint at = CenteredTextOrigin(measured.width(), measured.height(),
                                                  p.fontMetrics().horizontalAdvance(text));
        TextAt(p, at.x, at.y, text);
        return;
    }

    // The group box, measured first: the status line stands right of it.
    const QString groupText = Q(GroupBoxText(groupAddress));
    p.setFont(m_groupFont);
    const int groupRight =
        kGroupBoxLeft + p.fontMetrics().horizontalAdvance(groupText) + 2 * kGroupBoxMargin;
    const int groupBottom = kGroupBoxTop + p.fontMetrics().height() + 2 * kGroupBoxMargin;

    const int statusX = groupRight + 50;
    p.setFont(m_addressFont);
    TextAt(p, statusX, kGroupBoxTop, Q(status.text));
    if (!status.noNodesText.empty()) {
        const QColor window = QGuiApplication::palette().color(QPalette::Base);
        p.fillRect(QRect(QPoint(statusX, kGroupBoxTop), QPoint(groupRight + 300 - 1, groupBottom - 1)),
                   window);
        p.setFont(defaultFont);
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setBackground(window);
        TextAt(p, statusX, kGroupBoxTop, Q(status.noNodesText));
        p.setBackgroundMode(Qt::TransparentMode);
    }

    p.setFont(m_groupFont);
    p.setBrush(FromColorValue(kGroupBoxColor));
    p.drawRoundedRect(FigureBox(kGroupBoxLeft, kGroupBoxTop, groupRight, groupBottom),
                      kGroupBoxCorner / 2, kGroupBoxCorner / 2);
    TextAt(p, kGroupBoxLeft + kGroupBoxMargin, kGroupBoxTop + kGroupBoxMargin, groupText);

    p.setFont(m_smallFont);
    const QFontMetrics labelMetrics = p.fontMetrics();
    for (int32_t l = 0; l < table.linkCount; ++l) {
        const NetLink &link = table.links[l];
        const int32_t from = table.FindNode(link.relay);
        const int32_t to = table.FindNode(link.node);
        if (from < 0 || to < 0)
            continue;
        const NetNode &a = table.nodes[from];
        const NetNode &b = table.nodes[to];
        p.setPen(blackPen);
        p.drawLine(a.x, a.y, b.x, b.y);

        const LayoutPoint at = LinkLabelOrigin(a.x, a.y, b.x, b.y);
        const QString label = Q(LinkLabelText(link.rssi));
        const int cx = labelMetrics.horizontalAdvance(label);
        const int cy = labelMetrics.height();
        const int m = kLinkLabelMargin;
        p.setPen(QPen(FromColorValue(kLinkLabelOutlineColor), 1));
        p.setBrush(FromColorValue(kLinkLabelColor));
        p.drawRect(FigureBox(at.x - m, at.y - m, at.x + cx + m, at.y + cy + m));
        p.setPen(blackPen);
        TextAt(p, at.x, at.y, label);
    }

    p.setPen(blackPen);
    for (int32_t i = 0; i < table.nodeCount; ++i) {
        const NetNode &n = table.nodes[i];
        p.setBrush(FromColorValue(n.color));
        p.drawEllipse(FigureBox(n.x - kNodeRadius, n.y - kNodeRadius, n.x + kNodeRadius,
                                n.y + kNodeRadius));
        const QString address = Q(NodeAddressText(n.address));
        p.setFont(m_addressFont);
        TextAt(p, n.x - p.fontMetrics().horizontalAdvance(address) / 2, n.y - 12, address);
        const QString kind = Q(n.label);
        p.setFont(m_smallFont);
        TextAt(p, n.x - p.fontMetrics().horizontalAdvance(kind) / 2, n.y + 5, kind);
    }
    p.setFont(defaultFont);
    p.setBrush(Qt::NoBrush);
}
