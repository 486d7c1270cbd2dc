#pragma once
// How the mesh changed from one scan to the next. The view's table keeps every
// node it has ever seen, so it cannot tell that a node fell silent; what each
// scan reply contained on its own can. A scan's mesh is read from its reply
// alone, and two of them are compared: nodes that joined or left, links added
// or removed, links whose signal level moved by a given step or more.

#include "netview/MeshTable.h"

#include <cstdint>
#include <vector>

// The nodes and links of one scan reply, read as the table reads a reply into
// an empty table.
struct MeshSnapshot {
    std::vector<uint32_t> nodes; // table order, then link ends the table refused
    std::vector<NetLink> links;  // table order
};

// The mesh of a reply alone (the reply text from the keyword "Relay" on).
MeshSnapshot ReadScanReply(const ScanText &reply);

enum class MeshChangeKind { NodeJoined, NodeLeft, LinkAdded, LinkRemoved, LinkLevelChanged };

struct MeshChange {
    MeshChangeKind kind = MeshChangeKind::NodeJoined;
    uint32_t node = 0;  // the node that joined or left; for links, the node heard
    uint32_t relay = 0; // links only
    int32_t rssi = 0;   // links: the level now (removed: the last level heard)
    int32_t previousRssi = 0; // level changes only

    bool operator==(const MeshChange &o) const
    {
        return kind == o.kind && node == o.node && relay == o.relay && rssi == o.rssi &&
               previousRssi == o.previousRssi;
    }
};

inline constexpr int32_t kDefaultLevelStep = 6; // dB

// The changes from `before` to `after`: nodes joined, nodes left, links
// added, links removed, then links whose level moved by levelStep dB or more,
// each group in the order of the scan that holds them. The first scan of a
// run is compared with an empty mesh: every node joins, every link is added.
std::vector<MeshChange> CompareScans(const MeshSnapshot &before, const MeshSnapshot &after,
                                     int32_t levelStep = kDefaultLevelStep);

