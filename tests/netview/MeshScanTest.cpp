// The scan state machine with the texts it reads and shows. Its state rules
// under arbitrary terminal text are the fuzz target's (fuzz/fuzz_mesh_scan.cpp).
#include "FakeNetViewHost.h"
#include "netview/MeshView.h"

#include <gtest/gtest.h>

namespace {

TEST(MeshScan, TakesTheGroupFromTheInfoReply)
{
    const struct {
        const char *info;
        bool groupFails;
        const char *command; // nothing: the scan still waits for the info reply
    } cases[] = {
        {" Version 1.0\r\nPublish Addr C001\r\n", false, "at+ab loranet C001\r\n"},
        {" Version 1.0\r\nPublish Addr 8001\r\n", true, "at+ab loranet 8001\r\n"},
        {" Version 1.0\r\nPublish Addr 4001\r\n", true, "at+ab loranet 4001\r\n"},
        {" Version 1.0\r\nPublish Addr   0xC0a5\r\n", false, "at+ab loranet C0A5\r\n"},
        {" Version 1.0\r\n", true, "at+ab loranet 0000\r\n"},
        {" Version 1.0\r\nPublish Addr: C001\r\n", true, "at+ab loranet 0000\r\n"},
        {"Version 1.0\r\nPublish Addr C001\r\n", false, nullptr}, // a keyword counts after the first character
        {"ab Version   \r\n\r\n", false, nullptr},
        {" 56 65 72 73 69 6F 6E 20 31\r\n", false, nullptr}, // the binary display
    };
    for (const auto &c : cases) {
        ScanFixture f;
        f.Reply(c.info);
        EXPECT_EQ(f.groupFailures, c.groupFails ? 1 : 0) << c.info;
        if (!c.command) {
            EXPECT_TRUE(f.scan.State() == ScanState::AwaitInfo && f.host.log.empty()) << c.info;
            EXPECT_EQ(TakeViewStatus(f.scan).text, "Scanning Network for Info");
            continue;
        }
        EXPECT_TRUE(f.scan.Version() == "1.0" && f.scan.State() == ScanState::AwaitScan) << c.info;
        // The scan goes out after a failed group test all the same.
        EXPECT_EQ(f.host.log, (Log{"clear", std::string("send:") + c.command})) << c.info;
    }
}

// A reply is read once eleven characters came, as far as it came. After each
// the status line tells how many nodes it held and how many joined and left
// since the reply before, and the next scan goes out after the pause; the
// table keeps every node seen.
TEST(MeshScan, ReadsEachReplyAndCountsWhoJoinedAndLeftSinceTheScanBefore)
{
    ScanFixture f;
    f.PassInfo();
    EXPECT_EQ(TakeViewStatus(f.scan).text, "Scanning Network for C001 Info") << "the centred first paint";
    f.Reply("0123456789");
    EXPECT_EQ(f.scan.State(), ScanState::AwaitScan) << "10 characters are not a reply";
    const std::pair<const char *, const char *> replies[] = {
        {"0:0001 -11  0003\r\n0:00", "2 nodes"}, // as far as it came
        {"0:0001 -15  0003\r\n0:0001 -12  0002\r\n", "3 nodes, +1 -0"},
        {"0:0001 -11  0002\r\n1:0002 -20  0004\r\n1:0002 -22  0005\r\n", "4 nodes, +2 -1"},
        {"0:0001 -11  0002\r\n", "2 nodes, +0 -2"},
        {"nothing heard", "0 nodes, +0 -2"},
    };
    for (const auto &[rows, line] : replies) {
        EXPECT_EQ(TakeViewStatus(f.scan).text, "Waiting for Network C001 Info") << "while the scan is out";
        f.Reply(std::string("\r\nRelay  dBm  Node\r\n") + rows);
        const ViewStatus status = TakeViewStatus(f.scan);
        EXPECT_TRUE(status.text == line && status.noNodesText.empty() && !status.centred)
            << rows << ": " << status.text;
        f.host.log.clear();
        for (int tick = 1; tick <= 4; ++tick)
            f.scan.OnScanTick();
        EXPECT_EQ(f.host.log, (Log{"clear", "send:at+ab loranet C001\r\n"})) << "the next scan after the pause";
    }
    f.Reply("\r\nRelay  dBm  Node\r\n0:0001 -15  0003\r\n"); // what the view's description tells
    EXPECT_EQ(DescribeMeshView(f.scan), "Group C001: 5 nodes, 4 links. Last scan: 2 nodes, +2 -0. Local 0001 at"
                                        " level 0. Node 0003 at level 1. Relay 0002 at level 1. Node 0004 at level"
                                        " 2. Node 0005 at level 2. 0001 hears 0003 at -15 dB. 0001 hears 0002 at"
                                        " -11 dB. 0002 hears 0004 at -20 dB. 0002 hears 0005 at -22 dB.");

    ScanFixture empty;
    empty.PassInfo();
    empty.Reply("0123456789A"); // eleven characters, and no "Relay"
    EXPECT_EQ(TakeViewStatus(empty.scan).noNodesText, "No nodes found in Network C001");
}

} // namespace
