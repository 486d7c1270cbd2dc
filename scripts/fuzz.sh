#!/usr/bin/env bash
# A fuzzing campaign: builds the fuzz targets with clang into build-fuzz/ and
# runs each for the given seconds (default 300), one after the other, from
# its seeds in fuzz/corpus/<target>/ and a working corpus in build-fuzz that
# grows from run to run. Prints the executions of each target; an input that
# breaks a property is kept in build-fuzz/fuzz/artifacts/ and the script
# exits with 1. Reproduce one with: build-fuzz/fuzz/<target> <file>
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages
seconds="${1:-300}"

CC=clang CXX=clang++ cmake -S "$VERRIN_ROOT" -B "$VERRIN_ROOT/build-fuzz" -DVERRIN_FUZZ=ON \
  -DVERRIN_BUILD_TESTS=OFF -DVERRIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$VERRIN_ROOT/build-fuzz" -j2 --target verrin_fuzz

out="$VERRIN_ROOT/build-fuzz/fuzz"
mkdir -p "$out/artifacts"
failed=0
for source in "$VERRIN_ROOT"/fuzz/fuzz_*.cpp; do
  target="$(basename "$source" .cpp)"
  mkdir -p "$out/work/$target"
  log="$out/$target.log"
  if "$out/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$target-" "$out/work/$target" "$VERRIN_ROOT/fuzz/corpus/$target" \
      >"$log" 2>&1; then
    verdict="no finding"
  else
    verdict="FINDING, see $log"
    failed=1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  printf '%-22s %12s executions in %ss, corpus %s inputs: %s\n' "$target" "${runs:-?}" "$seconds" \
    "$(find "$out/work/$target" -type f | wc -l)" "$verdict"
done
exit "$failed"
