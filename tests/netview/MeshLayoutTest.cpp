#include "netview/MeshLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(MeshLayout, SpreadsColumnsAndRowsOverTheWindow)
{
    MeshTable t;
    t.AddNode(0, 1);
    for (uint32_t a : {2u, 3u, 4u})
        t.AddNode(1, a);
    t.AddNode(2, 5);
    t.RecountRows();
    ComputeLayout(800, 600, t);
    const LayoutPoint expected[] = {{53, 240}, {400, 60}, {370, 220}, {400, 380}, {747, 60}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(t.nodes[i].x, expected[i].x) << "node " << i;
        EXPECT_EQ(t.nodes[i].y, expected[i].y) << "node " << i;
    }
}

TEST(MeshLayout, LeavesASingleColumnWhereItStood)
{
    MeshTable t;
    t.AddNode(0, 1);
    t.nodes[0].x = 11;
    t.nodes[0].y = 22;
    EXPECT_FALSE(LayoutApplies(t));
    ComputeLayout(800, 600, t);
    EXPECT_EQ(t.nodes[0].x, 11);
    EXPECT_EQ(t.nodes[0].y, 22);
}

TEST(MeshLayout, PlacesLabelsAndCentredText)
{
    struct Case {
        int x1, y1, x2, y2, lx, ly;
    } cases[] = {
        {100, 100, 300, 200, 234, 165},
        {-15, 0, -101, 0, -95, -10}, // halving truncates toward zero
    };
    for (const Case &c : cases) {
        const LayoutPoint at = LinkLabelOrigin(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(at.x, c.lx) << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
        EXPECT_EQ(at.y, c.ly) << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
    }
    const LayoutPoint centre = CenteredTextOrigin(800, 600, 101);
    EXPECT_EQ(centre.x, 350);
    EXPECT_EQ(centre.y, 300);
}

} // namespace
