#!/usr/bin/env bash
# Installs the Debian packages Verrin needs (only those missing) and builds
# everything into build/. Sourced by run.sh and test.sh.
set -euo pipefail

VERRIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VERRIN_BUILD="${VERRIN_BUILD:-$VERRIN_ROOT/build}"

verrin_packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libgl-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lrzsz socat zlib1g-dev xvfb xauth fonts-liberation fontconfig
  clang libclang-rt-14-dev
  xdotool dbus-daemon at-spi2-core libatspi2.0-dev libx11-dev
  help2man librsvg2-bin dpkg-dev lintian desktop-file-utils appstream bash-completion
)

# Installs the given packages, or Verrin's own list, where missing.
verrin_install_packages() {
  local wanted=("$@") missing=()
  [ ${#wanted[@]} -gt 0 ] || wanted=("${verrin_packages[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

verrin_build() {
  cmake -S "$VERRIN_ROOT" -B "$VERRIN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$VERRIN_BUILD" -j2
}

# Points settings, runtime files and home at a fresh folder removed at exit, so
# that nothing a test does reaches the user's own files, and runs Qt headless.
verrin_private_environment() {
  verrin_scratch="$(mktemp -d)"
  trap 'rm -rf "$verrin_scratch"' EXIT
  mkdir -p "$verrin_scratch/config" "$verrin_scratch/runtime" "$verrin_scratch/home"
  chmod 700 "$verrin_scratch/runtime"
  export XDG_CONFIG_HOME="$verrin_scratch/config" XDG_RUNTIME_DIR="$verrin_scratch/runtime"
  export HOME="$verrin_scratch/home" QT_QPA_PLATFORM=offscreen
}
