#include "FakeNetViewHost.h"
#include "MeshInvariants.h"
#include "netview/MeshScan.h"
#include "netview/MeshView.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class MeshScanTest : public ::testing::Test {
protected:
    FakeNetViewHost host;
    RecordingScanEvents events;
    MeshScan scan{host, events};

    // Info reply of group C001, taken on one tick; the log starts afresh.
    void PassInfo()
    {
        host.terminal = "\r\nVersion 2.1\r\nPublish Addr C001\r\n";
        scan.OnScanTick();
        ASSERT_EQ(scan.State(), ScanState::AwaitScan);
        host.log.clear();
    }
};

TEST_F(MeshScanTest, TakesTheGroupFromTheInfoReply)
{
    struct Case {
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
    for (const Case &c : cases) {
        FakeNetViewHost h;
        RecordingScanEvents e;
        MeshScan s(h, e);
        h.terminal = c.info;
        s.OnScanTick();
        EXPECT_EQ(s.Version(), "1.0") << c.info;
        EXPECT_EQ(e.groupFailures, c.groupFails ? 1 : 0) << c.info;
        // The scan goes out after a failed group test all the same.
        EXPECT_EQ(h.log, (Log{"clear", std::string("send:") + c.command})) << c.info;
        EXPECT_EQ(s.State(), ScanState::AwaitScan) << c.info;
    }
    EXPECT_EQ(FormatScanCommand(0xC001).size(), 20u);
}

TEST_F(MeshScanTest, WaitsInAwaitInfoWithoutAVersionWord)
{
    const char *texts[] = {
        "",
        "Version 1.0\r\nPublish Addr C001\r\n", // the keyword at the first character
        "ab Version   \r\n\r\n",                // no word after it
        " 56 65 72 73 69 6F 6E 20 31\r\n",      // binary display of "Version 1"
    };
    for (const char *text : texts) {
        FakeNetViewHost h;
        RecordingScanEvents e;
        MeshScan s(h, e);
        h.terminal = text;
        for (int tick = 0; tick < 6; ++tick)
            s.OnScanTick();
        EXPECT_EQ(s.State(), ScanState::AwaitInfo) << text;
        EXPECT_TRUE(h.log.empty()) << text;
        EXPECT_EQ(TakeViewStatus(s).text, "Scanning Network for Info");
    }
}

TEST_F(MeshScanTest, TakesTheReplyOnceElevenCharactersArrived)
{
    PassInfo();
    host.terminal = "0123456789";
    scan.OnScanTick();
    EXPECT_EQ(scan.State(), ScanState::AwaitScan) << "10 characters are not a reply";
    host.terminal += "A"; // a reply without "Relay"
    scan.OnScanTick();
    EXPECT_EQ(scan.State(), ScanState::Pause);
    EXPECT_EQ(scan.Table().nodeCount, 0);

    // "Relay" at the first character counts as absent.
    for (int tick = 0; tick < 4; ++tick)
        scan.OnScanTick();
    host.terminal = "Relay  dBm  Node\r\n0:0001 -11  0003\r\n";
    scan.OnScanTick();
    EXPECT_EQ(scan.State(), ScanState::Pause);
    EXPECT_EQ(scan.Table().nodeCount, 0);
}

TEST_F(MeshScanTest, RescansOnTheFourthTickOfThePause)
{
    PassInfo();
    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n";
    scan.OnScanTick();
    ASSERT_EQ(scan.State(), ScanState::Pause);
    for (int tick = 1; tick <= 3; ++tick) {
        scan.OnScanTick();
        EXPECT_TRUE(host.log.empty()) << "tick " << tick;
    }
    scan.OnScanTick();
    EXPECT_EQ(host.log, (Log{"clear", "send:at+ab loranet C001\r\n"}));
    EXPECT_EQ(scan.State(), ScanState::AwaitScan);
    EXPECT_EQ(scan.RescanCount(), 0);
}

TEST_F(MeshScanTest, ReadsAReplyAsFarAsItArrivedAndExtendsItLater)
{
    EXPECT_EQ(TakeViewStatus(scan).text, "Scanning Network for Info");
    PassInfo();
    ViewStatus first = TakeViewStatus(scan);
    EXPECT_TRUE(first.centred);
    EXPECT_EQ(first.text, "Scanning Network for C001 Info");
    ViewStatus again = TakeViewStatus(scan);
    EXPECT_FALSE(again.centred);
    EXPECT_EQ(again.text, "Waiting for Network C001 Info");

    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:00";
    scan.OnScanTick();
    EXPECT_EQ(scan.Table().nodeCount, 2);
    for (int tick = 0; tick < 4; ++tick)
        scan.OnScanTick();
    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0003\r\n0:0001 -12  0002\r\n";
    scan.OnScanTick();
    EXPECT_EQ(scan.Table().nodeCount, 3);
    EXPECT_TRUE(TableInvariantsHold(scan.Table()));
    EXPECT_FALSE(TakeViewStatus(scan).centred) << "later scans show the graph";
    EXPECT_GT(events.repaints, 3);
}

TEST_F(MeshScanTest, EmptyScanShowsNoNodes)
{
    PassInfo();
    host.terminal = "\r\nOK, nothing heard\r\n";
    scan.OnScanTick();
    const ViewStatus status = TakeViewStatus(scan);
    EXPECT_EQ(status.text, "Waiting for Network C001 Info");
    EXPECT_EQ(status.noNodesText, "No nodes found in Network C001");
}

} // namespace
