// The mesh table parser and the scan state machine under arbitrary replies.
//
// The first byte picks what the rest drives:
//   0  scan replies as raw bytes, parsed one after another into one table;
//   1  scan replies built from rows of small numbers (so that addresses repeat,
//      levels run out of range and tables fill up), mixed with raw bytes;
//   2  the scan state machine on a fake main window whose terminal receives
//      arbitrary text, info replies and scan replies, with timer ticks between.
// The table's invariants are checked after every parse and every tick.

#include "netview/MeshScan.h"
#include "netview/MeshTable.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

void CheckTable(const MeshTable &t)
{
    FUZZ_CHECK(t.nodeCount >= 0 && t.nodeCount <= MeshTable::MaxNodes, "nodeCount %d", t.nodeCount);
    FUZZ_CHECK(t.linkCount >= 0 && t.linkCount <= MeshTable::MaxLinks, "linkCount %d", t.linkCount);
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    for (int32_t l = 0; l < t.linkCount; ++l) {
        const NetLink &k = t.links[l];
        FUZZ_CHECK(k.relay != k.node && k.relay != 0 && k.node != 0, "link %d: %X-%X", l, k.relay, k.node);
        FUZZ_CHECK(pairs.insert({k.relay, k.node}).second, "link %d repeated", l);
    }
    if (t.nodeCount == 0)
        return;
    FUZZ_CHECK(t.columnCount >= 1 && t.columnCount <= MeshTable::MaxColumns, "columnCount %d", t.columnCount);
    FUZZ_CHECK(t.nodes[0].column == 0 && t.nodes[0].label == "Local", "nodes[0] in column %d, %s",
               t.nodes[0].column, t.nodes[0].label.c_str());
    std::set<uint32_t> addresses;
    int32_t rows[MeshTable::MaxColumns] = {};
    int32_t highest = 0;
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        FUZZ_CHECK(addresses.insert(n.address).second, "address %X repeated", n.address);
        FUZZ_CHECK(n.column >= 0 && n.column < t.columnCount, "node %d in column %d of %d", i, n.column,
                   t.columnCount);
        FUZZ_CHECK(i == 0 || n.column > 0, "node %d beside the local node", i);
        FUZZ_CHECK(n.row == rows[n.column]++, "node %d has row %d", i, n.row);
        highest = std::max(highest, n.column);
    }
    FUZZ_CHECK(t.columnCount == highest + 1, "columnCount %d, highest column %d", t.columnCount, highest);
    for (int32_t k = 0; k < t.columnCount; ++k)
        FUZZ_CHECK(rows[k] > 0 && t.columnSize[k] == rows[k], "column %d: size %d, %d nodes", k,
                   t.columnSize[k], rows[k]);
}

// Rows "level:relay rssi node" from a few input bytes each, with addresses
// from a small pool so that nodes and links repeat.
std::string BuiltReply(FuzzedDataProvider &in)
{
    std::string reply = in.ConsumeBool() ? "\r\nRelay  dBm  Node\r\n" : "";
    const int rows = in.ConsumeIntegralInRange(0, 40);
    for (int r = 0; r < rows && in.remaining_bytes() > 0; ++r) {
        char row[80];
        const int level = in.ConsumeIntegralInRange(-2, 11);
        const unsigned relay = in.ConsumeIntegralInRange(0, 24) * (in.ConsumeBool() ? 1u : 0x111u);
        const unsigned node = in.ConsumeIntegralInRange(0, 300);
        std::snprintf(row, sizeof row, "%d:%04X %d  %04X\r\n", level, relay, -in.ConsumeIntegralInRange(0, 200), node);
        reply += row;
        if (in.ConsumeIntegralInRange(0, 15) == 0)
            reply += in.ConsumeRandomLengthString(12);
    }
    if (in.ConsumeBool())
        reply += "OK\r\n";
    return reply;
}

void ParseReplies(FuzzedDataProvider &in, bool built)
{
    MeshTable table;
    ScanText scan;
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeIntegralInRange(0, 7) == 0) {
            table.ClearTable();
            FUZZ_CHECK(table.nodeCount == 0 && table.linkCount == 0, "a cleared table holds records");
            continue;
        }
        const std::string reply = built ? BuiltReply(in) : in.ConsumeRandomLengthString(6000);
        scan.Assign(reply);
        FUZZ_CHECK(scan.length >= 0 && scan.length < ScanText::ScanTextSize && scan.text[scan.length] == '\0',
                   "scan text of %d characters", scan.length);
        FUZZ_CHECK(std::string_view(scan.text, scan.length) == std::string_view(reply).substr(0, scan.length),
                   "the scan text is not the start of the reply");
        table.ParseScanTable(scan);
        CheckTable(table);
    }
}

class FakeHost : public NetViewHost {
public:
    std::string terminal;
    std::vector<std::string> log; // "clear", or the text sent

    std::string_view TerminalContent() const override { return terminal; }
    void ClearTerminal() override
    {
        terminal.clear();
        log.push_back("clear");
    }
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        log.emplace_back(reinterpret_cast<const char *>(bytes), count);
        return static_cast<int32_t>(count);
    }
    int32_t SendString(std::string_view text) override
    {
        log.emplace_back(text);
        return static_cast<int32_t>(text.size());
    }
};

struct Events : MeshScanEvents {
    int repaints = 0, groupFailures = 0;
    void RepaintRequested() override { ++repaints; }
    void GroupTestFailed() override { ++groupFailures; }
};

void RunScan(FuzzedDataProvider &in)
{
    FakeHost host;
    Events events;
    MeshScan scan(host, events);
    int pauseTicks = 0; // ticks seen in Pause since it began
    while (in.remaining_bytes() > 0) {
        const ScanState before = scan.State();
        const size_t logged = host.log.size();
        const int failures = events.groupFailures;
        const int op = in.ConsumeIntegralInRange(0, 6);
        switch (op) {
        case 0:
            host.terminal += in.ConsumeRandomLengthString(300);
            break;
        case 1: {
            char info[160];
            std::snprintf(info, sizeof info, "\r\nLoRa mesh module\r\nVersion %s\r\nPublish Addr %X\r\n",
                          in.ConsumeRandomLengthString(8).c_str(), in.ConsumeIntegral<uint16_t>());
            host.terminal += info;
            break;
        }
        case 2:
            host.terminal += BuiltReply(in);
            break;
        case 3:
            host.ClearTerminal();
            break;
        case 4:
            scan.StepScan();
            break;
        default:
            scan.OnScanTick();
            break;
        }

        const ScanState after = scan.State();
        const bool ticked = op >= 5;
        FUZZ_CHECK(after == ScanState::AwaitInfo || after == ScanState::AwaitScan || after == ScanState::Pause,
                   "state %d", static_cast<int>(after));
        FUZZ_CHECK(scan.RescanCount() >= 0 && scan.RescanCount() <= 3, "rescan count %d", scan.RescanCount());
        CheckTable(scan.Table());

        // Only the steps move the machine, and only forward round its cycle.
        if (op < 4)
            FUZZ_CHECK(after == before, "state changed without a step");
        if (before == ScanState::AwaitInfo)
            FUZZ_CHECK(after != ScanState::Pause, "from AwaitInfo straight to Pause");
        if (before == ScanState::AwaitScan)
            FUZZ_CHECK(after != ScanState::AwaitInfo, "back to AwaitInfo");
        if (before == ScanState::Pause) {
            pauseTicks += ticked;
            FUZZ_CHECK(after != ScanState::AwaitInfo, "back to AwaitInfo");
            FUZZ_CHECK((after == ScanState::AwaitScan) == (ticked && pauseTicks == 4),
                       "rescan after %d ticks of pause", pauseTicks);
        }
        if (after == ScanState::Pause && before != ScanState::Pause)
            pauseTicks = 0;

        // Every command that goes out is the scan of the group, right after
        // the terminal was emptied for its reply.
        const size_t added = host.log.size() - logged;
        const bool scanStarted = after == ScanState::AwaitScan && before != ScanState::AwaitScan;
        if (scanStarted) {
            FUZZ_CHECK(added == 2 && host.log[logged] == "clear" &&
                           host.log[logged + 1] == FormatScanCommand(scan.GroupAddress()),
                       "a scan started with %zu records", added);
        } else {
            FUZZ_CHECK(added == (op == 3 ? 1u : 0u), "%zu records without a scan", added);
        }
        if (events.groupFailures != failures)
            FUZZ_CHECK((scan.GroupAddress() & 0xC000) != 0xC000, "group %04X failed its test", scan.GroupAddress());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: ParseReplies(in, false); break;
    case 1: ParseReplies(in, true); break;
    default: RunScan(in); break;
    }
    return 0;
}
