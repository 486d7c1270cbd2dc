#pragma once
// The mesh network the virtual module hears: a fixed list of links, each "a
// relay at hop level L hears a node with this signal level". A scan reports
// the links with signal levels that wander by a few dB from scan to scan and,
// with churn on, leaves out nodes that have fallen silent (and whatever is
// heard only through them). A script instead replaces the whole topology at
// given times, and its levels are reported exactly as written, so that a test
// knows what every scan holds.

#include "sim/SimClock.h"

#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

struct MeshLink {
    int level;      // hop level of the relay; 0: the relay is the local node
    uint16_t relay;
    int rssi;       // dBm
    uint16_t node;
};

class MeshModel {
public:
    // Thirteen nodes over four hop levels around the local node 0001.
    static MeshModel Demo();
    // A topology text: one link per line, "level relay rssi node" (level and
    // rssi decimal, addresses hexadecimal), "#" starts a comment. All level-0
    // links must share one relay: the local node. On failure error names the
    // line and the problem.
    static std::optional<MeshModel> Parse(const std::string &text, std::string &error);
    // A topology script: blocks of links as in a topology text, each headed
    // by a line "at SECONDS" (a decimal number; the first block at 0, each
    // later one later than the one before). A block replaces the topology
    // from its time on; times count from the first scan the module answers.
    // Every block names the same local node.
    static std::optional<MeshModel> ParseScript(const std::string &text, std::string &error);

    uint16_t LocalAddress() const { return links_.front().relay; }
    const std::vector<MeshLink> &Links() const { return links_; }

    // Adds offset to every address (wrapping at 16 bits), so that modules
    // run side by side each have a mesh of their own.
    void ShiftAddresses(uint16_t offset);

    // From start on, every period one node falls silent or comes back (at
    // most three are silent at a time); one is silent from the start.
    void EnableChurn(SimTime start, seconds period);
    // The links heard by a scan at now, in hop-level order.
    std::vector<MeshLink> Scan(SimTime now);

private:
    struct Stage {
        nanoseconds at;
        std::vector<MeshLink> links;
    };

    explicit MeshModel(std::vector<MeshLink> links);
    void ChurnStep();
    std::vector<uint16_t> RemoteNodes() const;

    std::vector<MeshLink> links_; // sorted by level, level-0 links first
    std::mt19937 random_{20240611};
    bool churn_ = false;
    SimTime churnStart_{};
    seconds churnPeriod_{0};
    long churnSteps_ = 0;
    std::set<uint16_t> silent_;
    std::vector<Stage> script_;            // empty: no script
    std::optional<SimTime> scriptStart_;   // the first scan's time
};
