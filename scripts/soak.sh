#!/usr/bin/env bash
# The fault soak for the given seconds per test (default 600): Verrin against
# the virtual module while the device vanishes and returns, garbage floods in
# during capture on a small disk, the module falls silent during scans, and
# instances of the program are started and killed at random. Builds what it
# needs into build/ first. The short version of the same tests runs in the
# test suite.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages
cmake -S "$VERRIN_ROOT" -B "$VERRIN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$VERRIN_BUILD" -j2 --target soak_tests verrin verrin-sim

verrin_private_environment
export VERRIN_SOAK_SECONDS="${1:-600}"

# The tests run one after the other, each for the whole time.
"$VERRIN_BUILD/tests/soak_tests"
