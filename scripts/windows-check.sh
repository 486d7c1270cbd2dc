#!/usr/bin/env bash
# Keeps the Windows build honest without a Windows machine: compiles the core
# library with the MinGW-w64 cross compiler, and checks the syntax of every
# file of the OS adapters, the windows and verrin-cli as the Windows build
# selects them (the Windows-only files in, the POSIX ones out) against Qt's
# headers. Debian has no Qt for Windows, so nothing is linked.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
verrin_install_packages g++-mingw-w64-x86-64-posix
cxx=x86_64-w64-mingw32-g++-posix

sources() { # the files of the lists named in $1, as the Windows build selects them
  cmake -DROOT="$VERRIN_ROOT" -DLISTS="$1" -P "$VERRIN_ROOT/scripts/windows-sources.cmake" 2>&1
}

qt="/usr/include/$(gcc -print-multiarch)/qt6" # where Debian keeps Qt 6's headers
flags=(-std=c++17 -Wall -Wextra -Werror -I"$VERRIN_ROOT" -DVERRIN_VERSION_TEXT='"check"' -DVERRIN_VERSION='"check"')
qtflags=(-Wno-attributes -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -I"$qt/QtSerialPort" -I"$qt/QtSvg")

# libdeflate's header (the mesh pictures' PNG compression) needs nothing but
# the C library's sizes: the check reads it from a folder of its own, so that
# no other Linux header comes along.
deflate="$(mktemp -d)"
trap 'rm -rf "$deflate"' EXIT
ln -s /usr/include/libdeflate.h "$deflate/"
qtflags+=(-I"$deflate")

cd "$VERRIN_ROOT"
failed=0
check() { "$cxx" "$@" || failed=1; }
for f in $(sources VERRIN_CORE_SOURCES); do
  check "${flags[@]}" -c "$f" -o /dev/null
done
for f in $(sources "VERRIN_OS_SOURCES;VERRIN_GUI_SOURCES;VERRIN_QT_SOURCES") app/main.cpp cli/*.cpp; do
  check "${flags[@]}" "${qtflags[@]}" -fsyntax-only "$f"
done
[ $failed -eq 0 ] && echo "Windows check: the core compiles, every Windows-side file passes."
exit $failed
