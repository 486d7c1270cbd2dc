// The scan reply parser. Its invariants under arbitrary replies are the fuzz
// target's (fuzz/fuzz_mesh_scan.cpp); here, what given replies make of the table.
#include "netview/MeshTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iomanip>
#include <sstream>

namespace {

const char *kHeader = "Relay  dBm  Node\r\n";

MeshTable Parsed(const std::string &reply)
{
    ScanText scan;
    scan.Assign(reply);
    MeshTable t;
    t.ParseScanTable(scan);
    return t;
}

// "0001@0L 0003@1N | 0001>0003:-11": the nodes (address@column and the kind's
// initial), then the links (relay>node:rssi), in table order.
std::string Describe(const MeshTable &t)
{
    std::ostringstream s;
    s << std::uppercase << std::setfill('0');
    for (int32_t i = 0; i < t.nodeCount; ++i)
        s << std::hex << std::setw(4) << t.nodes[i].address << std::dec << '@' << t.nodes[i].column
          << t.nodes[i].label.substr(0, 1) << ' ';
    s << '|';
    for (int32_t l = 0; l < t.linkCount; ++l)
        s << ' ' << std::hex << std::setw(4) << t.links[l].relay << '>' << std::setw(4) << t.links[l].node << ':'
          << std::dec << t.links[l].rssi;
    return s.str();
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
    for (const auto &c : cases)
        EXPECT_EQ(Describe(Parsed(kHeader + c.rows)), c.table) << c.name;
}

TEST(ScanText, CutsALongReplyAtALineEnd)
{
    // A 31-character header, then rows of 18: the 4,095th character falls two
    // digits into the node address of row 226, which must not be read as 00A0.
    std::string reply = "Relay  dBm  Node" + std::string(13, ' ') + "\r\n";
    char row[32];
    for (unsigned n = 0; n < 300; ++n) {
        std::snprintf(row, sizeof row, "0:0001 -11  %04X\r\n", 0xA000 + n);
        reply += row;
    }
    const MeshTable t = Parsed(reply);
    EXPECT_LT(t.FindNode(0xA0), 0) << "a cut address was read";
    EXPECT_EQ(t.nodeCount, 1 + 225) << "the local node and the 225 whole rows";
}

TEST(MeshTable, KeepsTheFirst256NodesAndTheFirst256Links)
{
    // 257 short rows of the local node 0001: row n names node 0x100 + n. The
    // 257th node is row 255's, the 257th link row 256's; both are refused.
    std::string reply = kHeader;
    char row[32];
    for (unsigned n = 0; n < 257; ++n) {
        std::snprintf(row, sizeof row, "0:1 -1 %X\r\n", 0x100 + n);
        reply += row;
    }
    const MeshTable t = Parsed(reply);
    EXPECT_TRUE(t.nodeCount == 256 && t.FindNode(0x1FE) == 255 && t.FindNode(0x1FF) < 0) << t.nodeCount << " nodes";
    EXPECT_TRUE(t.linkCount == 256 && t.links[255].node == 0x1FF) << t.linkCount << " links";
}

} // namespace
