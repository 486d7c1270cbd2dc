#include "netview/MeshTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void ScanText::Assign(std::string_view reply)
{
    std::string_view kept = reply.substr(0, ScanTextSize - 1);
    if (kept.size() < reply.size()) {
        const size_t lineEnd = kept.find_last_of("\r\n");
        if (lineEnd != std::string_view::npos)
            kept = kept.substr(0, lineEnd + 1);
    }
    length = static_cast<int32_t>(kept.size());
    std::memcpy(text, kept.data(), kept.size());
    text[length] = '\0';
    cursor = 0;
}

void MeshTable::ClearTable()
{
    for (NetNode &n : nodes) {
        n.column = 0;
        n.row = 0;
        n.address = 0;
        n.label.clear();
    }
    for (NetLink &l : links)
        l = NetLink{};
    nodeCount = 0;
    linkCount = 0;
}

int32_t MeshTable::FindNode(uint32_t address) const
{
    for (int32_t i = 0; i < nodeCount; ++i)
        if (nodes[i].address == address)
            return i;
    return -1;
}

void MeshTable::RestartWithLocalNode(uint32_t address)
{
    NetNode &local = nodes[0];
    local.column = 0;
    local.row = 0;
    local.address = address;
    local.color = kLocalNodeColor;
    local.label = "Local";
    nodeCount = 1;
    std::fill(std::begin(columnSize), std::end(columnSize), 0);
    columnSize[0] = 1;
    columnCount = 1;
}

void MeshTable::UpdateColumnCount()
{
    columnCount = 0;
    for (int32_t k = 0; k < MaxColumns; ++k)
        if (columnSize[k] != 0)
            columnCount = k + 1;
}

void MeshTable::AddNode(int32_t column, uint32_t address)
{
    // The first placement of an address stands, whatever a later row implies.
    if (FindNode(address) >= 0)
        return;
    if (column == 0) {
        RestartWithLocalNode(address);
        return;
    }
    if (column < 0 || column >= MaxColumns || nodeCount >= MaxNodes)
        return;
    NetNode &n = nodes[nodeCount++];
    n.column = column;
    n.address = address;
    ++columnSize[column];
    UpdateColumnCount();
}

void MeshTable::AddLink(uint32_t relay, uint32_t node, int32_t rssi)
{
    if (relay == node || relay == 0 || node == 0)
        return;
    for (int32_t i = 0; i < linkCount; ++i) {
        if (links[i].relay == relay && links[i].node == node) {
            links[i].rssi = rssi;
            return;
        }
    }
    if (linkCount < MaxLinks)
        links[linkCount++] = NetLink{relay, node, rssi};
}

static bool IsPrintable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u <= 0x7E;
}

void MeshTable::NextLine(ScanText &scan, char *line)
{
    while (scan.cursor < scan.length && !IsPrintable(scan.text[scan.cursor]))
        ++scan.cursor;
    int32_t n = 0;
    while (n < LineMax && scan.cursor < scan.length && IsPrintable(scan.text[scan.cursor]))
        line[n++] = scan.text[scan.cursor++];
    line[n] = '\0';
}

namespace {

struct ScanRow {
    int level = 0;
    unsigned relay = 0;
    int rssi = 0;
    unsigned node = 0;
};

// One row "level:relay rssi node"; false when the line does not yield all four.
bool ReadRow(ScanText &scan, ScanRow &row)
{
    char line[MeshTable::LineMax + 1];
    MeshTable::NextLine(scan, line);
    return std::sscanf(line, "%d:%x %d %x", &row.level, &row.relay, &row.rssi, &row.node) == 4;
}

// Cursor one character before the first occurrence of pattern at index 2 or
// later; the end of the text when there is none.
int32_t CursorBefore(const ScanText &scan, std::string_view pattern)
{
    const size_t at = std::string_view(scan.text, static_cast<size_t>(scan.length)).find(pattern, 2);
    return at == std::string_view::npos ? scan.length : static_cast<int32_t>(at) - 1;
}

// Column of the nodes a row names: one right of its relay level. Levels of
// MaxColumns - 1 and beyond give a column that AddNode refuses.
int32_t ColumnOfLevel(int level)
{
    return level < MeshTable::MaxColumns ? level + 1 : MeshTable::MaxColumns;
}

} // namespace

void MeshTable::ParseScanTable(ScanText &scan)
{
    // The first level-0 row names the local node as its relay.
    scan.cursor = CursorBefore(scan, "0:");
    ScanRow row;
    if (!ReadRow(scan, row))
        return;
    AddNode(0, row.relay);

    scan.cursor = CursorBefore(scan, ":");
    while (ReadRow(scan, row)) {
        AddNode(ColumnOfLevel(row.level), row.node);
        AddNode(ColumnOfLevel(row.level), row.relay);
    }

    scan.cursor = CursorBefore(scan, ":");
    while (ReadRow(scan, row))
        AddLink(row.relay, row.node, row.rssi);

    RecountRows();
    CompactColumns();
    ClassifyNodes();
}

void MeshTable::RecountRows()
{
    for (int32_t k = 0; k < columnCount; ++k) {
        columnSize[k] = 0;
        for (int32_t i = 0; i < nodeCount; ++i)
            if (nodes[i].column == k)
                nodes[i].row = columnSize[k]++;
    }
}

void MeshTable::CompactColumns()
{
    for (int32_t k = columnCount - 2; k >= 0; --k) {
        if (columnSize[k] != 0)
            continue;
        for (int32_t i = 0; i < nodeCount; ++i)
            if (nodes[i].column > k)
                --nodes[i].column;
        --columnCount;
        std::fill(std::begin(columnSize), std::end(columnSize), 0);
        for (int32_t i = 0; i < nodeCount; ++i)
            nodes[i].row = columnSize[nodes[i].column]++;
    }
}

void MeshTable::ClassifyNodes()
{
    for (int32_t i = 0; i < nodeCount; ++i) {
        nodes[i].color = i == 0 ? kLocalNodeColor : kPlainNodeColor;
        nodes[i].label = i == 0 ? "Local" : "Node";
    }
    for (int32_t l = 0; l < linkCount; ++l) {
        const int32_t i = FindNode(links[l].relay);
        if (i > 0) {
            nodes[i].color = kRelayNodeColor;
            nodes[i].label = "Relay";
        }
    }
}
