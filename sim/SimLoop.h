#pragma once
#include "sim/SimOptions.h"

// Runs the virtual module until a termination signal; returns the exit code.
int RunSim(const SimOptions &options);
