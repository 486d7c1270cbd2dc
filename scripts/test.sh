#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages
verrin_build

verrin_private_environment

ctest --test-dir "$VERRIN_BUILD" --output-on-failure -j2 --timeout 300

# Windows stays a target: cross-compile what can be checked here.
"$VERRIN_ROOT/scripts/windows-check.sh"

# The Debian package from this build: validated, and as root installed, run and purged.
"$VERRIN_ROOT/scripts/package-check.sh"

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# benchmarks left out, at -O1 with line tables only: it builds in a third of
# the time and still names the line of every report. Leaks count;
# tests/lsan.supp forgives only those inside third-party libraries.
export LSAN_OPTIONS="suppressions=$VERRIN_ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
VERRIN_BUILD="$VERRIN_ROOT/build-asan" verrin_build -DVERRIN_SANITIZE=ON -DVERRIN_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
ctest --test-dir "$VERRIN_ROOT/build-asan" --output-on-failure -j2 --timeout 600

# A short run of each fuzz target (scripts/fuzz.sh runs them longer).
if command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ cmake -S "$VERRIN_ROOT" -B "$VERRIN_ROOT/build-fuzz" -DVERRIN_FUZZ=ON \
    -DVERRIN_BUILD_TESTS=OFF -DVERRIN_BUILD_BENCH=OFF >/dev/null
  cmake --build "$VERRIN_ROOT/build-fuzz" -j2 --target verrin_fuzz
  ctest --test-dir "$VERRIN_ROOT/build-fuzz" --output-on-failure -j2
fi
