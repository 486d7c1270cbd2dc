#include "netview/MeshView.h"

#include <cstdio>

namespace {

std::string WithHex(const char *format, uint32_t value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

ViewStatus ViewStatusOf(const MeshScan &scan)
{
    ViewStatus status;
    if (scan.State() == ScanState::AwaitInfo) {
        status.centred = true;
        status.text = "Scanning Network for Info";
        return status;
    }
    if (scan.State() == ScanState::AwaitScan && scan.FirstScanPending()) {
        status.centred = true;
        status.text = WithHex("Scanning Network for %04X Info", scan.GroupAddress());
        return status;
    }
    const bool paused = scan.State() == ScanState::Pause;
    const bool noNodes = paused && scan.Table().nodeCount == 0;
    // With no node at all, the band of the no-nodes text covers the line.
    status.text = paused && scan.ScansTaken() > 0 && !noNodes
                      ? ScanSummaryText(scan)
                      : WithHex("Waiting for Network %04X Info", scan.GroupAddress());
    if (noNodes)
        status.noNodesText = WithHex("No nodes found in Network %04X", scan.GroupAddress());
    return status;
}

ViewStatus TakeViewStatus(MeshScan &scan)
{
    ViewStatus status = ViewStatusOf(scan);
    if (status.centred && scan.State() == ScanState::AwaitScan)
        scan.ClearFirstScanPending();
    return status;
}

std::string ScanSummaryText(const MeshScan &scan)
{
    const size_t count = scan.LatestMesh().nodes.size();
    std::string text = std::to_string(count) + (count == 1 ? " node" : " nodes");
    if (scan.ScansTaken() < 2)
        return text;
    return text + ", +" + std::to_string(scan.NodesJoined()) + " -" + std::to_string(scan.NodesLeft());
}

std::string GroupBoxText(uint32_t groupAddress) { return WithHex("Group %04X", groupAddress); }

std::string NodeAddressText(uint32_t address) { return WithHex("%04X", address); }

std::string LinkLabelText(int32_t rssi)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d dB", rssi);
    return text;
}

std::string DescribeMeshView(const MeshScan &scan)
{
    const MeshTable &t = scan.Table();
    if (scan.State() == ScanState::AwaitInfo)
        return "Scanning Network for Info";
    std::string text = GroupBoxText(scan.GroupAddress());
    if (scan.State() == ScanState::AwaitScan)
        text += ", scanning";
    if (t.nodeCount == 0)
        return text + ": no nodes.";
    text += ": " + std::to_string(t.nodeCount) + " nodes, " + std::to_string(t.linkCount) +
            " links.";
    if (scan.State() == ScanState::Pause)
        text += " Last scan: " + ScanSummaryText(scan) + ".";
    for (int32_t i = 0; i < t.nodeCount; ++i)
        text += " " + t.nodes[i].label + " " + NodeAddressText(t.nodes[i].address) + " at level " +
                std::to_string(t.nodes[i].column) + ".";
    for (int32_t l = 0; l < t.linkCount; ++l)
        text += " " + NodeAddressText(t.links[l].relay) + " hears " +
                NodeAddressText(t.links[l].node) + " at " + LinkLabelText(t.links[l].rssi) + ".";
    return text;
}
