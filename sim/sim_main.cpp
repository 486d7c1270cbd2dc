// verrin-sim: the virtual radio module on a pseudo-terminal.
#include "sim/SimLoop.h"

int main(int argc, char **argv)
{
    int exitCode = 0;
    const std::optional<SimOptions> options = ParseSimOptions(argc, argv, exitCode);
    return options ? RunSim(*options) : exitCode;
}
