#pragma once
// The command line of verrin-sim.

#include "sim/YmodemReceiver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SimOptions {
    std::string link;         // empty: $XDG_RUNTIME_DIR/verrin-sim/port
    int count = 1;            // modules, each on a port of its own
    uint16_t group = 0xC001;  // module 1's; module n has group + n - 1
    uint32_t lineRate = 0;    // 0: no pacing
    std::string logFile;      // "{n}" stands for the module's number
    std::string topologyFile; // empty: the demo mesh
    std::string scriptFile;   // topologies that replace each other in time
    bool churn = false;
    std::string saveImage;    // "{n}" stands for the module's number
    std::vector<TransferFaults> faults{1}; // one per module
};

// A per-module file name: every "{n}" in pattern becomes the module's number
// (from 1).
std::string ModulePath(const std::string &pattern, int module);

// Parses the arguments. Without a result the program ends with exitCode:
// 0 after --help, 2 after a usage error (already reported on stderr).
std::optional<SimOptions> ParseSimOptions(int argc, char **argv, int &exitCode);
