#include "netview/MeshChanges.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <utility>

MeshSnapshot ReadScanReply(const ScanText &reply)
{
    // Both are large (the table holds 256 records of each kind): kept off the
    // stack.
    auto text = std::make_unique<ScanText>(reply);
    text->cursor = 0;
    auto table = std::make_unique<MeshTable>();
    table->ParseScanTable(*text);

    MeshSnapshot mesh;
    std::set<uint32_t> known;
    for (int32_t i = 0; i < table->nodeCount; ++i) {
        mesh.nodes.push_back(table->nodes[i].address);
        known.insert(table->nodes[i].address);
    }
    // A row whose level lies beyond the last column places no node but still
    // records its link; its ends were heard all the same.
    for (int32_t l = 0; l < table->linkCount; ++l) {
        const NetLink &link = table->links[l];
        mesh.links.push_back(link);
        for (const uint32_t end : {link.relay, link.node})
            if (known.insert(end).second)
                mesh.nodes.push_back(end);
    }
    return mesh;
}

std::vector<MeshChange> CompareScans(const MeshSnapshot &before, const MeshSnapshot &after,
                                     int32_t levelStep)
{
    using Pair = std::pair<uint32_t, uint32_t>; // relay, node
    const std::set<uint32_t> nodesBefore(before.nodes.begin(), before.nodes.end());
    const std::set<uint32_t> nodesAfter(after.nodes.begin(), after.nodes.end());
    std::map<Pair, int32_t> levelBefore, levelAfter;
    for (const NetLink &l : before.links)
        levelBefore[{l.relay, l.node}] = l.rssi;
    for (const NetLink &l : after.links)
        levelAfter[{l.relay, l.node}] = l.rssi;

    std::vector<MeshChange> changes;
    for (const uint32_t n : after.nodes)
        if (!nodesBefore.count(n))
            changes.push_back({MeshChangeKind::NodeJoined, n, 0, 0, 0});
    for (const uint32_t n : before.nodes)
        if (!nodesAfter.count(n))
            changes.push_back({MeshChangeKind::NodeLeft, n, 0, 0, 0});
    for (const NetLink &l : after.links)
        if (!levelBefore.count({l.relay, l.node}))
            changes.push_back({MeshChangeKind::LinkAdded, l.node, l.relay, l.rssi, 0});
    for (const NetLink &l : before.links)
        if (!levelAfter.count({l.relay, l.node}))
            changes.push_back({MeshChangeKind::LinkRemoved, l.node, l.relay, l.rssi, 0});
    for (const NetLink &l : after.links) {
        const auto was = levelBefore.find({l.relay, l.node});
        if (was != levelBefore.end() && std::abs(l.rssi - was->second) >= levelStep)
            changes.push_back({MeshChangeKind::LinkLevelChanged, l.node, l.relay, l.rssi, was->second});
    }
    return changes;
}
