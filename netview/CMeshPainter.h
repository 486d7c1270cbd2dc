#pragma once
// Paints the mesh network view: a status text while the view waits for the
// module, otherwise the graph of the scan's table with its status line and
// group box. Everything is drawn anew on every paint, links before nodes, so
// that the circles cover the ends of the lines.

#include <QFont>
#include <QRect>
#include <QSize>

#include <cstdint>

class MeshScan;
class MeshTable;
class QPainter;
struct ViewStatus;

class CMeshPainter {
public:
    CMeshPainter();

    // The view's own font (its template's), in which the centred scanning
    // texts and the no-nodes text are drawn: the painter's font at the start
    // of a paint.
    static QFont DialogFont();

    // Paints into the client rectangle, erasing it first. windowSize is the
    // window's outer size now; measured holds W and H as last measured and is
    // brought up to date when the layout runs (it runs for 2 to 10 columns
    // only). Takes the scan's first-paint flag (see TakeViewStatus).
    void Paint(QPainter &p, const QRect &client, MeshScan &scan, QSize windowSize,
               QSize &measured) const;
    // The same with a status given, leaving the scan's flag alone: a picture
    // of what the view shows, or of a scan run without a view. The layout
    // writes the table's node positions.
    void Paint(QPainter &p, const QRect &client, const ViewStatus &status, MeshTable &table,
               uint32_t groupAddress, QSize windowSize, QSize &measured) const;

private:
    QFont m_addressFont; // 9 pt: node addresses and the status line
    QFont m_groupFont;   // 8 pt
    QFont m_smallFont;   // 7 pt: node kinds and link labels
};
