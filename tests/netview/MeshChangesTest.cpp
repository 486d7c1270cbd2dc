// What changed between two scans, from the replies alone. The program test of
// `verrin-cli scan --format events` has the common cases line by line.
#include "netview/MeshChanges.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The mesh of a reply made of rows "level:relay rssi node".
MeshSnapshot Mesh(const std::string &rows)
{
    ScanText text;
    text.Assign("Relay  dBm  Node\r\n" + rows);
    return ReadScanReply(text);
}

// "+0005 -0003 >0002-0005:-25 <0001-0003:-14 ~0001-0002:-20/-11": joined,
// left, link added, removed, level changed (now/before), in the changes' order.
std::string Describe(const std::vector<MeshChange> &changes)
{
    std::string out;
    for (const MeshChange &c : changes) {
        char item[48];
        const char mark = "+-><~"[int(c.kind)];
        if (c.kind == MeshChangeKind::NodeJoined || c.kind == MeshChangeKind::NodeLeft)
            std::snprintf(item, sizeof item, "%c%04X ", mark, c.node);
        else if (c.kind == MeshChangeKind::LinkLevelChanged)
            std::snprintf(item, sizeof item, "~%04X-%04X:%d/%d ", c.relay, c.node, c.rssi, c.previousRssi);
        else
            std::snprintf(item, sizeof item, "%c%04X-%04X:%d ", mark, c.relay, c.node, c.rssi);
        out += item;
    }
    return out;
}

TEST(MeshChanges, ComparesWhatTwoRepliesHeld)
{
    const std::string star = "0:0001 -11  0002\r\n0:0001 -14  0003\r\n";
    const struct {
        const char *name;
        std::string before, after;
        int step;
        const char *changes;
    } cases[] = {
        {"a node heard through another relay", star + "1:0002 -20  0004\r\n", star + "1:0003 -22  0004\r\n", 6,
         ">0003-0004:-22 <0002-0004:-20 "},
        {"level moved by the step, both ways", star, "0:0001 -17  0002\r\n0:0001 -8  0003\r\n", 6,
         "~0001-0002:-17/-11 ~0001-0003:-8/-14 "},
        {"level moved by less than the step", star, "0:0001 -16  0002\r\n0:0001 -9  0003\r\n", 6, ""},
        {"a smaller step", star, "0:0001 -14  0002\r\n0:0001 -14  0003\r\n", 3, "~0001-0002:-14/-11 "},
        {"a reply without rows: all left", star, "", 6, "-0001 -0002 -0003 <0001-0002:-11 <0001-0003:-14 "},
        // The table refuses a node at level 9 or beyond but keeps its link:
        // both ends were heard.
        {"ends of a link beyond the last column", star, star + "9:0003 -30  0009\r\n", 6, "+0009 >0003-0009:-30 "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Describe(CompareScans(Mesh(c.before), Mesh(c.after), c.step)), c.changes) << c.name;
}

} // namespace
