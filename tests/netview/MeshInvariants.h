#pragma once
// The node table's invariants, checked after a parse. An empty table has
// nothing to check.

#include "netview/MeshTable.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

inline ::testing::AssertionResult TableInvariantsHold(const MeshTable &t)
{
    auto fail = [](auto what) { return ::testing::AssertionFailure() << what; };
    if (t.nodeCount < 0 || t.nodeCount > MeshTable::MaxNodes || t.linkCount < 0 ||
        t.linkCount > MeshTable::MaxLinks)
        return fail("counts out of bounds");
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    for (int32_t l = 0; l < t.linkCount; ++l) {
        const NetLink &k = t.links[l];
        if (k.relay == k.node || k.relay == 0 || k.node == 0)
            return fail("link ") << l << " is a self-link or names address 0";
        if (!pairs.insert({k.relay, k.node}).second)
            return fail("link ") << l << " repeated";
    }
    if (t.nodeCount == 0)
        return ::testing::AssertionSuccess();
    if (t.columnCount < 1 || t.columnCount > MeshTable::MaxColumns)
        return fail("columnCount ") << t.columnCount;
    if (t.nodes[0].column != 0 || t.nodes[0].label != "Local")
        return fail("nodes[0] is not the local node");
    std::set<uint32_t> addresses;
    int32_t seen[MeshTable::MaxColumns] = {};
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        if (!addresses.insert(n.address).second)
            return fail("address repeated at node ") << i;
        if (n.column < 0 || n.column >= t.columnCount || (i > 0 && n.column == 0))
            return fail("node ") << i << " in column " << n.column;
        if (n.row != seen[n.column]++)
            return fail("node ") << i << " has row " << n.row;
        bool relays = false;
        for (int32_t l = 0; l < t.linkCount; ++l)
            relays = relays || t.links[l].relay == n.address;
        if (i > 0 && n.label != (relays ? "Relay" : "Node"))
            return fail("node ") << i << " labelled " << n.label;
    }
    for (int32_t k = 0; k < MeshTable::MaxColumns; ++k) {
        if (t.columnSize[k] != seen[k] || (k < t.columnCount && seen[k] == 0))
            return fail("column ") << k << " size " << t.columnSize[k] << " holds " << seen[k];
    }
    return ::testing::AssertionSuccess();
}
