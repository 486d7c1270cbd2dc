#include "cli/MeshFormat.h"

#include <cstdio>
#include <utility>

namespace {
std::string Hex4(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X", address);
    return text;
}

// The fill colour (0x00BBGGRR) as Graphviz writes it.
std::string DotColor(uint32_t color)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return text;
}

const char *EventName(MeshChangeKind kind)
{
    switch (kind) {
    case MeshChangeKind::NodeJoined: return "joined";
    case MeshChangeKind::NodeLeft: return "left";
    case MeshChangeKind::LinkAdded: return "link-added";
    case MeshChangeKind::LinkRemoved: return "link-removed";
    case MeshChangeKind::LinkLevelChanged: return "link-level";
    }
    return "";
}

std::string Table(const MeshTable &t, uint32_t group)
{
    if (t.nodeCount == 0)
        return "No nodes found in Network " + Hex4(group) + "\n";
    char line[96];
    std::snprintf(line, sizeof line, "Network %s: %d nodes, %d links\n", Hex4(group).c_str(),
                  t.nodeCount, t.linkCount);
    std::string out = line;
    out += "Node  Kind   Column  Row\n";
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        std::snprintf(line, sizeof line, "%-5s %-6s %6d %4d\n", Hex4(n.address).c_str(),
                      n.label.c_str(), n.column, n.row);
        out += line;
    }
    out += "Relay  Node   dBm\n";
    for (int32_t i = 0; i < t.linkCount; ++i) {
        const NetLink &l = t.links[i];
        std::snprintf(line, sizeof line, "%-6s %-5s %4d\n", Hex4(l.relay).c_str(),
                      Hex4(l.node).c_str(), l.rssi);
        out += line;
    }
    return out;
}

// The kinds are the table's own three words: nothing in them needs escaping.
std::string Json(const MeshTable &t, uint32_t group)
{
    std::string out = "{\"group\":\"" + Hex4(group) + "\",\"nodes\":[";
    for (int32_t i = 0; i < t.nodeCount; ++i) {
        const NetNode &n = t.nodes[i];
        out += (i ? ",{" : "{");
        out += "\"address\":\"" + Hex4(n.address) + "\",\"column\":" + std::to_string(n.column) +
               ",\"row\":" + std::to_string(n.row) + ",\"kind\":\"" + n.label + "\"}";
    }
    out += "],\"links\":[";
    for (int32_t i = 0; i < t.linkCount; ++i) {
        const NetLink &l = t.links[i];
        out += (i ? ",{" : "{");
        out += "\"relay\":\"" + Hex4(l.relay) + "\",\"node\":\"" + Hex4(l.node) +
               "\",\"rssi\":" + std::to_string(l.rssi) + "}";
    }
    return out + "]}\n";
}

std::string Dot(const MeshTable &t, uint32_t group)
{
    std::string out = "digraph \"Network " + Hex4(group) + "\" {\n"
                      "  rankdir=LR;\n"
                      "  node [shape=circle, style=filled];\n";
    for (int32_t column = 0; column < t.columnCount; ++column) {
        out += "  subgraph column" + std::to_string(column) + " {\n    rank=same;\n";
        for (int32_t i = 0; i < t.nodeCount; ++i) {
            const NetNode &n = t.nodes[i];
            if (n.column == column)
                out += "    \"" + Hex4(n.address) + "\" [label=\"" + Hex4(n.address) + "\\n" +
                       n.label + "\", fillcolor=\"" + DotColor(n.color) + "\"];\n";
        }
        out += "  }\n";
    }
    for (int32_t i = 0; i < t.linkCount; ++i) {
        const NetLink &l = t.links[i];
        out += "  \"" + Hex4(l.relay) + "\" -> \"" + Hex4(l.node) + "\" [label=\"" +
               std::to_string(l.rssi) + "\"];\n";
    }
    return out + "}\n";
}
} // namespace

std::optional<MeshFormat> ParseMeshFormat(std::string_view name)
{
    static constexpr std::pair<std::string_view, MeshFormat> kNames[] = {
        {"table", MeshFormat::Table}, {"json", MeshFormat::Json}, {"dot", MeshFormat::Dot},
        {"events", MeshFormat::Events}, {"png", MeshFormat::Png}, {"svg", MeshFormat::Svg}};
    for (const auto &[known, format] : kNames)
        if (name == known)
            return format;
    return std::nullopt;
}

std::string FormatMesh(const MeshTable &table, uint32_t groupAddress, MeshFormat format)
{
    switch (format) {
    case MeshFormat::Table: return Table(table, groupAddress);
    case MeshFormat::Json: return Json(table, groupAddress);
    case MeshFormat::Dot: return Dot(table, groupAddress);
    case MeshFormat::Events:
    case MeshFormat::Png:
    case MeshFormat::Svg: break;
    }
    return {};
}

std::vector<std::string> FormatMeshEvents(const std::vector<MeshChange> &changes, int scan,
                                          std::string_view time)
{
    // The time is the caller's ISO 8601 text: nothing in it needs escaping.
    const std::string head =
        "{\"time\":\"" + std::string(time) + "\",\"scan\":" + std::to_string(scan) + ",\"event\":\"";
    std::vector<std::string> lines;
    for (const MeshChange &c : changes) {
        std::string line = head + EventName(c.kind) + "\"";
        if (c.kind == MeshChangeKind::NodeJoined || c.kind == MeshChangeKind::NodeLeft) {
            line += ",\"node\":\"" + Hex4(c.node) + "\"";
        } else {
            line += ",\"relay\":\"" + Hex4(c.relay) + "\",\"node\":\"" + Hex4(c.node) +
                    "\",\"rssi\":" + std::to_string(c.rssi);
            if (c.kind == MeshChangeKind::LinkLevelChanged)
                line += ",\"previous\":" + std::to_string(c.previousRssi);
        }
        lines.push_back(line + "}\n");
    }
    return lines;
}
