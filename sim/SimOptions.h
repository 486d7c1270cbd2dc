#pragma once
// The command line of verrin-sim.

#include "sim/YmodemReceiver.h"

#include <cstdint>
#include <optional>
#include <string>

struct SimOptions {
    std::string link;         // empty: $XDG_RUNTIME_DIR/verrin-sim/port
    uint16_t group = 0xC001;
    uint32_t lineRate = 0;    // 0: no pacing
    std::string logFile;
    std::string topologyFile; // empty: the demo mesh
    std::string scriptFile;   // topologies that replace each other in time
    bool churn = false;
    std::string saveImage;
    TransferFaults faults;
};

// Parses the arguments. Without a result the program ends with exitCode:
// 0 after --help, 2 after a usage error (already reported on stderr).
std::optional<SimOptions> ParseSimOptions(int argc, char **argv, int &exitCode);
