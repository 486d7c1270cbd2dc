#include "netview/MeshLayout.h"

bool LayoutApplies(const MeshTable &table)
{
    return table.columnCount >= 2 && table.columnCount <= MeshTable::MaxColumns;
}

void ComputeLayout(int32_t W, int32_t H, MeshTable &table)
{
    if (!LayoutApplies(table))
        return;
    const auto mx = static_cast<int32_t>(W / 15.0);
    const auto my = static_cast<int32_t>(H / 10.0);
    const int32_t usableWidth = W - 2 * mx;
    const int32_t usableHeight = H - 2 * my;
    const int32_t columnStep = usableWidth / (table.columnCount - 1);

    for (int32_t i = 0; i < table.nodeCount; ++i) {
        NetNode &n = table.nodes[i];
        n.x = mx + columnStep * n.column;
        if (n.row % 2 != 0)
            n.x -= kOddRowStagger;
        // A parsed table has a node in every column; the guard keeps a table
        // built by hand from dividing by zero.
        const int32_t size = n.column >= 0 && n.column < MeshTable::MaxColumns
                                 ? table.columnSize[n.column] : 0;
        if (size > 0)
            n.y = my + (usableHeight / size) * n.row;
    }
    if (table.nodeCount > 0)
        table.nodes[0].y = usableHeight / 2;
}

LayoutPoint LinkLabelOrigin(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    return {((x1 + x2) / 2 + x2) / 2 - 16, ((y1 + y2) / 2 + y2) / 2 - 10};
}

LayoutPoint CenteredTextOrigin(int32_t W, int32_t H, int32_t textWidth)
{
    return {W / 2 - textWidth / 2, H / 2};
}
