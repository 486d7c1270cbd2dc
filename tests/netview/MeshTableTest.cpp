#include "MeshInvariants.h"
#include "netview/MeshTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

const char *kHeader = "Relay  dBm  Node\r\n";

void Parse(MeshTable &t, const std::string &reply)
{
    ScanText scan;
    scan.Assign(reply);
    t.ParseScanTable(scan);
}

// "0001@0L 0003@1N | 0001>0003:-11": the nodes (address@column and the kind's
// initial), then the links (relay>node:rssi), in table order.
std::string Describe(const MeshTable &t)
{
    std::string s;
    char item[40];
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        std::snprintf(item, sizeof item, "%04X@%d%.1s ", t.nodes[i].address, t.nodes[i].column,
                      t.nodes[i].label.c_str());
        s += item;
    }
    s += "|";
    for (int32_t l = 0; l < t.linkCount; ++l) {
        std::snprintf(item, sizeof item, " %04X>%04X:%d", t.links[l].relay, t.links[l].node,
                      t.links[l].rssi);
        s += item;
    }
    return s;
}

TEST(MeshTable, ParsesScanRows)
{
    const std::string longRow = "0:0001 -11  0003" + std::string(48, ' ') + "0:0001 -12  0002\r\n";
    const struct {
        const char *name;
        std::string rows;
        const char *table;
    } cases[] = {
        {"three rows", "0:0001 -11  0003\r\n0:0001 -12  0002\r\n1:0002 -13  0003\r\n",
         "0001@0L 0003@1N 0002@1R | 0001>0003:-11 0001>0002:-12 0002>0003:-13"},
        {"empty column closed", "0:0001 -11  0003\r\n0:0001 -14  0004\r\n2:0004 -16  0005\r\n",
         "0001@0L 0003@1N 0004@1R 0005@2N | 0001>0003:-11 0001>0004:-14 0004>0005:-16"},
        {"repeated row", "0:0001 -11  0003\r\n0:0001 -20  0003\r\n", "0001@0L 0003@1N | 0001>0003:-20"},
        {"self and zero", "0:0001 -11  0003\r\n0:0003 -5  0003\r\n0:0000 -7  0004\r\n",
         "0001@0L 0003@1N 0004@1N 0000@1N | 0001>0003:-11"},
        {"level 9 and beyond", "0:0001 -11  0003\r\n9:0003 -30  0007\r\n12:0003 -31  0008\r\n",
         "0001@0L 0003@1R | 0001>0003:-11 0003>0007:-30 0003>0008:-31"},
        {"first column stands", "0:0001 -11  0003\r\n1:0003 -12  0002\r\n0:0001 -13  0002\r\n",
         "0001@0L 0003@1R 0002@2N | 0001>0003:-11 0003>0002:-12 0001>0002:-13"},
        {"row over 64 characters", longRow, "0001@0L 0003@1N 0002@1N | 0001>0003:-11 0001>0002:-12"},
        {"ends at unreadable row", "0:0001 -11  0003\r\nOK\r\n0:0001 -12  0002\r\n",
         "0001@0L 0003@1N | 0001>0003:-11"},
        {"control bytes skipped", "0:0001 -11  0003\r\n\x01\x7f\t\r\n0:0001 -12  0002",
         "0001@0L 0003@1N 0002@1N | 0001>0003:-11 0001>0002:-12"},
        {"no readable row", "OK\r\n", "|"},
    };
    for (const auto &c : cases) {
        MeshTable t;
        Parse(t, kHeader + c.rows);
        EXPECT_EQ(Describe(t), c.table) << c.name;
        EXPECT_TRUE(TableInvariantsHold(t)) << c.name;
    }
}

TEST(MeshTable, DropsNodesAndLinksBeyondTheTable)
{
    std::string reply = kHeader;
    char row[32];
    for (unsigned n = 2; n <= 0x102; ++n) { // 257 distinct nodes and links
        std::snprintf(row, sizeof row, "0:1 -1 %X\r\n", n);
        reply += row;
    }
    MeshTable t;
    Parse(t, reply);
    EXPECT_EQ(t.nodeCount, MeshTable::MaxNodes);
    EXPECT_EQ(t.nodes[255].address, 0x100u);
    EXPECT_LT(t.FindNode(0x101), 0);
    EXPECT_EQ(t.linkCount, MeshTable::MaxLinks);
    EXPECT_EQ(t.links[255].node, 0x101u);
    EXPECT_TRUE(TableInvariantsHold(t));
}

TEST(MeshTable, SurvivesBadReplies)
{
    const std::string full = std::string(kHeader) +
                             "0:0001 -11  0003\r\n0:0001 -12  0002\r\n1:0002 -13  0003\r\n"
                             "1:0003 -40  0004\r\n2:0004 -16  0005\r\n";
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        MeshTable t;
        Parse(t, full.substr(0, cut));
        EXPECT_TRUE(TableInvariantsHold(t)) << "cut at " << cut;
    }

    // Replies made of pieces of rows and garbage, into one growing table and
    // into a fresh one each time.
    const char *pieces[] = {"0:", "1:", "9:", "12:", "-1:", "0001", "00A3", "FFFF", "0", " ",
                            " -7 ", "-99", "\r\n", "\n", "\x01", "Relay", "%d", ":", "zz"};
    std::mt19937 random(7);
    MeshTable growing;
    for (int round = 0; round < 3000; ++round) {
        std::string reply = kHeader;
        for (int k = std::uniform_int_distribution<int>(0, 60)(random); k > 0; --k)
            reply += pieces[random() % std::size(pieces)];
        MeshTable fresh;
        Parse(fresh, reply);
        Parse(growing, reply);
        ASSERT_TRUE(TableInvariantsHold(fresh)) << reply;
        ASSERT_TRUE(TableInvariantsHold(growing)) << reply;
    }

    std::string huge = kHeader;
    for (int i = 0; i < 10000; ++i)
        huge += "0:0001 -" + std::to_string(i % 100) + "  " + std::to_string(i + 2) + "\r\n";
    MeshTable t;
    Parse(t, huge);
    EXPECT_TRUE(TableInvariantsHold(t));
}

TEST(ScanText, CutsALongReplyAtALineEnd)
{
    // Rows of 18 characters after a header padded so that the 4095th
    // character falls two digits into a row's node address.
    const size_t kept = ScanText::ScanTextSize - 1;
    std::string reply = "Relay  dBm  Node";
    while ((kept - reply.size() - 2) % 18 != 14)
        reply += ' ';
    reply += "\r\n";
    const size_t wholeRows = (kept - reply.size()) / 18;
    char row[32];
    for (unsigned n = 0; n < 300; ++n) {
        std::snprintf(row, sizeof row, "0:0001 -11  %04X\r\n", 0xA000 + n);
        reply += row;
    }
    MeshTable t;
    Parse(t, reply);
    EXPECT_LT(t.FindNode(0xA0), 0) << "a cut address was read";
    EXPECT_EQ(t.nodeCount, static_cast<int32_t>(1 + wholeRows));
}

} // namespace
