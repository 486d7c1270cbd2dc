#pragma once
// What the mesh network view shows, apart from where things stand (that is
// MeshLayout): the status texts, the texts of nodes and links, the colours,
// and a plain-text reading of the graph for assistive technology.

#include "netview/MeshScan.h"

#include <cstdint>
#include <string>

// Colours, 0x00BBGGRR.
inline constexpr uint32_t kViewBackgroundColor = 0xFFF0F0;
inline constexpr uint32_t kGroupBoxColor = 0x57DAFF;
inline constexpr uint32_t kLinkLabelColor = 0xFFFFFF;
inline constexpr uint32_t kLinkLabelOutlineColor = 0xC0C0C0;

struct ViewStatus {
    // True: the view shows only `text`, centred, and nothing of the graph.
    bool centred = false;
    std::string text;
    // Over the status line when a finished scan found nothing.
    std::string noNodesText;
};

// The status the view shows now. While a scan is out the status line waits
// for it; once a reply has been taken it tells how many nodes that reply held
// and, from the second reply on, how many joined and left since the one
// before ("12 nodes, +1 -2").
ViewStatus ViewStatusOf(const MeshScan &scan);
// The status the next paint shows. The first paint after a table clear, while
// the scan is out, shows the centred scanning text and takes the scan's
// first-paint flag, so that later paints show the graph with its status line.
ViewStatus TakeViewStatus(MeshScan &scan);

// "13 nodes" after the first reply, "12 nodes, +1 -2" after later ones.
std::string ScanSummaryText(const MeshScan &scan);

std::string GroupBoxText(uint32_t groupAddress);  // "Group %04X"
std::string NodeAddressText(uint32_t address);    // "%04X"
std::string LinkLabelText(int32_t rssi);          // "%d dB"

// The state, the last scan's summary, the nodes and the links in words, for
// the view's accessible description.
std::string DescribeMeshView(const MeshScan &scan);
