#include "netview/MeshLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(MeshLayout, SpreadsColumnsAndStaggersOddRows)
{
    MeshTable t;
    t.AddNode(0, 1);
    for (uint32_t a : {2u, 3u, 4u})
        t.AddNode(1, a);
    t.AddNode(2, 5);
    t.RecountRows();
    ComputeLayout(800, 600, t);
    const LayoutPoint expected[] = {{53, 240}, {400, 60}, {370, 220}, {400, 380}, {747, 60}};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(t.nodes[i].x == expected[i].x && t.nodes[i].y == expected[i].y)
            << "node " << i << " at " << t.nodes[i].x << "," << t.nodes[i].y;
}

TEST(MeshLayout, PlacesLabelsAndCentredText)
{
    const struct {
        int x1, y1, x2, y2, lx, ly;
    } cases[] = {
        {100, 100, 300, 200, 234, 165},
        {-15, 0, -101, 0, -95, -10}, // halving truncates toward zero
    };
    for (const auto &c : cases) {
        const LayoutPoint at = LinkLabelOrigin(c.x1, c.y1, c.x2, c.y2);
        EXPECT_TRUE(at.x == c.lx && at.y == c.ly) << "from " << c.x1 << "," << c.y1 << " to "
                                                  << c.x2 << "," << c.y2 << ": " << at.x << "," << at.y;
    }
    EXPECT_EQ(CenteredTextOrigin(800, 600, 101).y, 300);
}

} // namespace
