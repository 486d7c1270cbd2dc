#pragma once
// The node and link table of a scan as text: a table to read, JSON for
// scripts, or a Graphviz graph with the nodes in their columns (hop levels),
// as the mesh view draws them; or the changes since the scan before, one JSON
// object per line. (The pictures, PNG and SVG, are the view's painter's.)

#include "netview/MeshChanges.h"
#include "netview/MeshTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class MeshFormat { Table, Json, Dot, Events, Png, Svg };

// "table", "json", "dot", "events", "png" or "svg".
std::optional<MeshFormat> ParseMeshFormat(std::string_view name);
inline bool IsPicture(MeshFormat format) { return format == MeshFormat::Png || format == MeshFormat::Svg; }

// The whole table of the group's scan, ending with a line end. JSON is one
// line: {"group":"C001","nodes":[{"address":"0001","column":0,"row":0,
// "kind":"Local"},...],"links":[{"relay":"0001","node":"0002","rssi":-11},...]}
// (Table, Json and Dot only.)
std::string FormatMesh(const MeshTable &table, uint32_t groupAddress, MeshFormat format);

// One line per change, each ending with a line end, for scan number `scan`
// taken at `time`:
// {"time":"<time>","scan":2,"event":"joined","node":"0005"}, "left" likewise;
// {"time":...,"scan":2,"event":"link-added","relay":"0002","node":"0005","rssi":-17},
// "link-removed" likewise (with the last level heard); "link-level" adds
// "previous":<the level before>.
std::vector<std::string> FormatMeshEvents(const std::vector<MeshChange> &changes, int scan,
                                          std::string_view time);
