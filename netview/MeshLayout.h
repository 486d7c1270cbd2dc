#pragma once
// Where the mesh graph's parts stand, from the view's window size. The graph
// runs left to right by hop level: one column per level, the columns spread
// evenly over the window less a margin, the nodes of a column spread evenly
// down it. W and H are the outer size of the view's window.

#include "netview/MeshTable.h"

#include <cstdint>

struct LayoutPoint {
    int32_t x = 0, y = 0;
};

inline constexpr int32_t kNodeRadius = 28;
inline constexpr int32_t kOddRowStagger = 30; // odd rows stand this far left
inline constexpr int32_t kGroupBoxLeft = 15, kGroupBoxTop = 20, kGroupBoxMargin = 8;
inline constexpr int32_t kGroupBoxCorner = 10; // width and height of the corner ellipse
inline constexpr int32_t kLinkLabelMargin = 2;

// The layout runs only for 2 to 10 columns; with one column (or none) the
// nodes keep the positions they had.
bool LayoutApplies(const MeshTable &table);

// Sets x and y of every node. The local node stands halfway down the usable
// height; odd rows stagger left so that links to neighbouring rows of the next
// column do not run through each other's nodes.
void ComputeLayout(int32_t W, int32_t H, MeshTable &table);

// Top-left corner of the signal label of a link from (x1, y1) to (x2, y2):
// three quarters of the way towards the node heard, so that labels of links
// that meet at a relay do not pile up there.
LayoutPoint LinkLabelOrigin(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Top-left corner of a text of width textWidth centred on the window: its top
// stands at half the window height.
LayoutPoint CenteredTextOrigin(int32_t W, int32_t H, int32_t textWidth);
