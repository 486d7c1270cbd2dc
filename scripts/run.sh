#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual module and opens
# Verrin's main window on it. Extra arguments go to verrin.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages
verrin_build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: run it under a virtual one with: xvfb-run -a $0" >&2
  exit 1
fi

sim_out="$(mktemp)"
"$VERRIN_BUILD/sim/verrin-sim" >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -f "$sim_out"' EXIT
for _ in $(seq 1 100); do
  [ -s "$sim_out" ] && break
  sleep 0.05
done
port="$(head -n 1 "$sim_out")"
[ -n "$port" ] || { echo "The virtual module did not start." >&2; exit 1; }
echo "Virtual module on $port"
"$VERRIN_BUILD/verrin" --port "$port" "$@"
