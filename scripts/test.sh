#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages
verrin_build

# Nothing a test does may reach the user's own settings or runtime files.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/runtime" "$scratch/home"
chmod 700 "$scratch/runtime"
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home"
export QT_QPA_PLATFORM=offscreen

ctest --test-dir "$VERRIN_BUILD" --output-on-failure -j2 --timeout 300
