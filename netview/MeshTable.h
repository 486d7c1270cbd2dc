#pragma once
// The node and link table of the mesh network view, and the parser that
// builds it from the module's scan reply. Successive scans extend the table:
// nodes and links are only ever added (or their rssi updated), never removed,
// until ClearTable.
//
// Invariants after every parse that read at least one row: node addresses are
// unique; a (relay, node) pair occurs at most once; nodes[0] is the local node,
// in column 0; columnCount is 1 + the highest column that holds a node; every
// column below columnCount holds a node; within a column, row runs 0, 1, 2, ...
// in table order.

#include <cstdint>
#include <string>
#include <string_view>

// Fill colours of the node kinds, 0x00BBGGRR.
inline constexpr uint32_t kLocalNodeColor = 0xC4C4FF;
inline constexpr uint32_t kPlainNodeColor = 0xC4FFC4;
inline constexpr uint32_t kRelayNodeColor = 0xFFC4C4;

struct NetNode {
    int32_t column = 0;   // hop level; 0 only for the local node
    int32_t row = 0;      // index among the nodes of its column, in table order
    uint32_t address = 0;
    uint32_t color = 0;   // fill colour, 0x00BBGGRR
    std::string label;    // "Local", "Relay" or "Node"
    int32_t x = 0, y = 0; // circle centre in client pixels, set by ComputeLayout
};

struct NetLink {
    uint32_t relay = 0; // the node through which the other is heard
    uint32_t node = 0;  // the node heard
    int32_t rssi = 0;   // dBm as the module reports it
};

// The view's own copy of a scan reply, from the keyword "Relay" on, with a
// read cursor for the parser.
struct ScanText {
    static constexpr int32_t ScanTextSize = 4096;

    char text[ScanTextSize] = {};
    int32_t length = 0;
    int32_t cursor = 0;

    // Takes a reply. One longer than ScanTextSize - 1 characters is cut at the
    // last line end within them, so that no row cut short (a node address
    // missing its last digits) is read as a row; a longer run without a line
    // end keeps its first ScanTextSize - 1 characters. The rows lost at the
    // end are those of a table too large to show anyway.
    void Assign(std::string_view reply);
};

class MeshTable {
public:
    static constexpr int32_t MaxNodes = 256;
    static constexpr int32_t MaxLinks = 256;
    static constexpr int32_t MaxColumns = 10;
    static constexpr int32_t LineMax = 64;

    NetNode nodes[MaxNodes];
    int32_t nodeCount = 0;
    NetLink links[MaxLinks];
    int32_t linkCount = 0;
    int32_t columnCount = 0;
    int32_t columnSize[MaxColumns] = {};

    // Empties the node and link records. Colours, positions, columnCount and
    // columnSize stay as they are; the next parse rebuilds them.
    void ClearTable();
    // Places a node in a column unless its address is known. Column 0 restarts
    // the table with this node as the local node; columns outside 1..9 and a
    // full table are refused.
    void AddNode(int32_t column, uint32_t address);
    // Records that relay hears node at rssi; a known pair gets the new rssi.
    // Self-links, address 0 and links beyond MaxLinks are dropped.
    void AddLink(uint32_t relay, uint32_t node, int32_t rssi);

    // Reads the rows "%d:%x %d %x" (level, relay, rssi, node) of a scan reply
    // and merges them into the table. Stops at the first row that does not
    // yield four values; a reply without one readable row changes nothing.
    void ParseScanTable(ScanText &scan);

    // The next run of at most LineMax printable characters (0x20..0x7E) from
    // the scan text's cursor, everything else skipped; empty at the end.
    // line must hold LineMax + 1 characters.
    static void NextLine(ScanText &scan, char *line);
    // Renumbers the rows of every column in table order.
    void RecountRows();
    // Closes empty columns left of the last one by moving the nodes right of
    // them one column left, so a node placed two hops right of its relay ends
    // up next to it.
    void CompactColumns();
    // Colours and labels: the local node, relays (the relay end of any link)
    // and plain nodes.
    void ClassifyNodes();

    // Index of the node with this address, or -1.
    int32_t FindNode(uint32_t address) const;

private:
    void UpdateColumnCount();
    void RestartWithLocalNode(uint32_t address);
};
