#include "FakeNetViewHost.h"
#include "MeshInvariants.h"
#include "netview/MeshView.h"

#include <gtest/gtest.h>

namespace {

class MeshScanTest : public ::testing::Test, protected ScanFixture {};

TEST(MeshScan, TakesTheGroupFromTheInfoReply)
{
    const struct {
        const char *info;
        bool groupFails;
        const char *command;
    } cases[] = {
        {" Version 1.0\r\nPublish Addr C001\r\n", false, "at+ab loranet C001\r\n"},
        {" Version 1.0\r\nPublish Addr 8001\r\n", true, "at+ab loranet 8001\r\n"},
        {" Version 1.0\r\nPublish Addr 4001\r\n", true, "at+ab loranet 4001\r\n"},
        {" Version 1.0\r\nPublish Addr   0xC0a5\r\n", false, "at+ab loranet C0A5\r\n"},
        {" Version 1.0\r\n", true, "at+ab loranet 0000\r\n"},
        {" Version 1.0\r\nPublish Addr: C001\r\n", true, "at+ab loranet 0000\r\n"},
    };
    for (const auto &c : cases) {
        ScanFixture f;
        f.host.terminal = c.info;
        f.scan.OnScanTick();
        EXPECT_EQ(f.scan.Version(), "1.0") << c.info;
        EXPECT_EQ(f.events.groupFailures, c.groupFails ? 1 : 0) << c.info;
        // The scan goes out after a failed group test all the same.
        EXPECT_EQ(f.host.log, (Log{"clear", std::string("send:") + c.command})) << c.info;
        EXPECT_EQ(f.scan.State(), ScanState::AwaitScan) << c.info;
    }
    EXPECT_EQ(FormatScanCommand(0xC001).size(), 20u);
}

TEST(MeshScan, WaitsInAwaitInfoWithoutAVersionWord)
{
    for (const char *text : {"", "Version 1.0\r\nPublish Addr C001\r\n", "ab Version   \r\n\r\n",
                             " 56 65 72 73 69 6F 6E 20 31\r\n" /* binary display */}) {
        ScanFixture f;
        f.host.terminal = text;
        for (int tick = 0; tick < 6; ++tick)
            f.scan.OnScanTick();
        EXPECT_EQ(f.scan.State(), ScanState::AwaitInfo) << text;
        EXPECT_TRUE(f.host.log.empty()) << text;
        EXPECT_EQ(TakeViewStatus(f.scan).text, "Scanning Network for Info");
    }
}

TEST_F(MeshScanTest, TakesTheReplyOnceElevenCharactersArrived)
{
    PassInfo();
    Reply("0123456789");
    EXPECT_EQ(scan.State(), ScanState::AwaitScan) << "10 characters are not a reply";
    Reply("0123456789A"); // without "Relay"
    EXPECT_EQ(scan.State(), ScanState::Pause);
    ViewStatus status = TakeViewStatus(scan);
    EXPECT_EQ(status.text, "Waiting for Network C001 Info");
    EXPECT_EQ(status.noNodesText, "No nodes found in Network C001");

    for (int tick = 1; tick <= 3; ++tick) {
        scan.OnScanTick();
        EXPECT_TRUE(host.log.empty()) << "pause tick " << tick;
    }
    scan.OnScanTick();
    EXPECT_EQ(host.log, (Log{"clear", "send:at+ab loranet C001\r\n"}));
    EXPECT_EQ(scan.State(), ScanState::AwaitScan);

    Reply("Relay  dBm  Node\r\n0:0001 -11  0003\r\n"); // "Relay" at the first character
    EXPECT_EQ(scan.State(), ScanState::Pause);
    EXPECT_EQ(scan.Table().nodeCount, 0);
}

TEST_F(MeshScanTest, ReadsAReplyAsFarAsItArrivedAndExtendsItLater)
{
    PassInfo();
    EXPECT_EQ(TakeViewStatus(scan).text, "Scanning Network for C001 Info");
    EXPECT_EQ(TakeViewStatus(scan).text, "Waiting for Network C001 Info") << "only the first paint";

    Reply("\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:00");
    EXPECT_EQ(scan.Table().nodeCount, 2);
    for (int tick = 0; tick < 4; ++tick)
        scan.OnScanTick();
    Reply("\r\nRelay  dBm  Node\r\n0:0001 -15  0003\r\n0:0001 -12  0002\r\n");
    EXPECT_EQ(scan.Table().nodeCount, 3);
    EXPECT_EQ(scan.Table().links[0].rssi, -15);
    EXPECT_TRUE(TableInvariantsHold(scan.Table()));
    EXPECT_FALSE(TakeViewStatus(scan).centred) << "later scans show the graph";
    EXPECT_GT(events.repaints, 3);
}

} // namespace
