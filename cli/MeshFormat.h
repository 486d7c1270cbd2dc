#pragma once
// The node and link table of a scan as text: a table to read, JSON for
// scripts, or a Graphviz graph with the nodes in their columns (hop levels),
// as the mesh view draws them.

#include "netview/MeshTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class MeshFormat { Table, Json, Dot };

// "table", "json" or "dot".
std::optional<MeshFormat> ParseMeshFormat(std::string_view name);

// The whole table of the group's scan, ending with a line end. JSON is one
// line: {"group":"C001","nodes":[{"address":"0001","column":0,"row":0,
// "kind":"Local"},...],"links":[{"relay":"0001","node":"0002","rssi":-11},...]}
std::string FormatMesh(const MeshTable &table, uint32_t groupAddress, MeshFormat format);
