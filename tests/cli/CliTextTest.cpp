// The console texts of verrin-cli: the download's progress figures, line ends
// made plain for a script's output, and a scan's mesh in each format.
#include "cli/ConsoleOutput.h"
#include "cli/MeshFormat.h"
#include "cli/ProgressText.h"

#include <gtest/gtest.h>

TEST(ProgressText, RateAndTimeLeftFromWhatIsAcknowledged)
{
    const std::pair<ProgressFigures, const char *> cases[] = {
        {{3, 2048, 65536, 1.0}, "Packet 3: 2048 of 65536 bytes (3%), 2048 B/s, 0:31 left"},
        {{1, 1000, 4000000, 1.0}, "Packet 1: 1000 of 4000000 bytes (0%), 1000 B/s, 1:06:39 left"},
        {{69, 70000, 70000, 7.0}, "Packet 69: 70000 of 70000 bytes (100%), 10.0 kB/s, 0:00 left"},
        {{1, 1024, 2048, 0.0}, "Packet 1: 1024 of 2048 bytes (50%), -- B/s, --:-- left"}, // no time yet
        {{0, 0, 0, 1.0}, "Packet 0: 0 of 0 bytes (0%), -- B/s, --:-- left"},              // nothing at all
    };
    for (const auto &[figures, line] : cases)
        EXPECT_EQ(ProgressLogLine(figures), line);
    EXPECT_EQ(ProgressBarLine({7, 5000, 10000, 1.0}, 10),
              "Packet 7  [#####-----]  5000/10000 bytes   50%  5000 B/s  0:01 left");
}

TEST(ProgressText, ATrayShowsEachPortOnALineOfItsOwn)
{
    EXPECT_EQ(TrayBarLine("ttyUSB0", 9, {12, 12288, 65536, 2.0}, "Loading Image"),
              "ttyUSB0    Packet 12   12288/65536  18%  6144 B/s    0:09 left   Loading Image");
    // Result, status, error; 262144 bytes acknowledged in 24.1 s, versions read.
    const auto report = [](const char *result, int status, const char *error) {
        return PortReport{"", result, status, error, "", 0, 262144, {}, {}, {}, 24100, true, "1.4.2", "2.0.0"};
    };
    const PortReport done = report("Successful", 0, ""),
                     failed = report("Aborted", 8, "no answer from the module for 2000 ms");
    EXPECT_EQ(TrayResultLine("ttyUSB0", done), "ttyUSB0: Successful, version 1.4.2 -> 2.0.0, 262144 bytes in 24.1 s, 10.9 kB/s");
    EXPECT_EQ(TrayResultLine("ttyUSB3", failed), "ttyUSB3: Aborted: no answer from the module for 2000 ms");
}

TEST(LineEnds, EachEndBecomesOneLineFeedAcrossPieces)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"OK\r\n"}, "OK\n"},           {{"OK\r", "\nnext"}, "OK\nnext"}, {{"a\rb\nc"}, "a\nb\nc"},
        {{"\r\n\r\nOK\r\n"}, "\n\nOK\n"}, {{"a\n\rb"}, "a\n\nb"},
    };
    for (const auto &[pieces, out] : cases) {
        LineEnds ends;
        std::string normalised;
        for (const std::string &piece : pieces)
            normalised += ends.Normalise(piece);
        EXPECT_EQ(normalised, out) << pieces.front();
    }
}

TEST(MeshFormat, TableJsonAndGraphOfAScan)
{
    ScanText scan;
    scan.Assign("Relay  dBm  Node\r\n0:0001 -11  0002\r\n0:0001 -17  0003\r\nOK\r\n");
    MeshTable mesh;
    mesh.ParseScanTable(scan);
    EXPECT_EQ(FormatMesh(mesh, 0xC001, MeshFormat::Table), "Network C001: 3 nodes, 2 links\n"
                                                           "Node  Kind   Column  Row\n"
                                                           "0001  Local       0    0\n"
                                                           "0002  Node        1    0\n"
                                                           "0003  Node        1    1\n"
                                                           "Relay  Node   dBm\n"
                                                           "0001   0002   -11\n"
                                                           "0001   0003   -17\n");
    EXPECT_EQ(FormatMesh(mesh, 0xC001, MeshFormat::Json),
              R"({"group":"C001","nodes":[{"address":"0001","column":0,"row":0,"kind":"Local"},)"
              R"({"address":"0002","column":1,"row":0,"kind":"Node"},{"address":"0003","column":1,"row":1,)"
              R"("kind":"Node"}],"links":[{"relay":"0001","node":"0002","rssi":-11},)"
              R"({"relay":"0001","node":"0003","rssi":-17}]})" "\n");
    EXPECT_EQ(FormatMesh(mesh, 0xC001, MeshFormat::Dot), R"(digraph "Network C001" {
  rankdir=LR;
  node [shape=circle, style=filled];
  subgraph column0 {
    rank=same;
    "0001" [label="0001\nLocal", fillcolor="#FFC4C4"];
  }
  subgraph column1 {
    rank=same;
    "0002" [label="0002\nNode", fillcolor="#C4FFC4"];
    "0003" [label="0003\nNode", fillcolor="#C4FFC4"];
  }
  "0001" -> "0002" [label="-11"];
  "0001" -> "0003" [label="-17"];
}
)");
    EXPECT_EQ(FormatMesh(MeshTable(), 0x8001, MeshFormat::Table), "No nodes found in Network 8001\n");
}
