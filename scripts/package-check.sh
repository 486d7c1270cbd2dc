#!/usr/bin/env bash
# Builds Verrin's Debian package from the build folder and checks it: the
# desktop entry, the metainfo, lintian, the manual pages against the programs'
# --help, and the shell completion. As root it then installs the package with
# apt, runs the installed programs, and purges it again, leaving no file of it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
start=$SECONDS
fail() { echo "Package check: $*" >&2; exit 1; }

scratch="$(mktemp -d)"
installed=""
cleanup() {
  [ -z "$installed" ] || apt-get purge -y -qq verrin >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

built="$(cmake --build "$VERRIN_BUILD" -j2 --target package 2>&1)" || { echo "$built"; fail "the package did not build"; }
deb="$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$built")"
version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "verrin_${version}_$(dpkg --print-architecture).deb" ] || fail "unexpected name $deb"
echo "Package: $deb"

tree="$scratch/tree"
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/org.example.verrin.desktop"
appstreamcli validate --no-net --pedantic "$tree/usr/share/metainfo/org.example.verrin.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$tree/usr/share/metainfo/org.example.verrin.metainfo.xml"
lint="$(lintian --fail-on error "$deb" 2>&1)" || { echo "$lint"; fail "lintian found errors"; }
grep -v "running with root privileges" <<<"$lint" || true
! grep -rl "$VERRIN_ROOT" "$tree" || fail "the package holds paths of the build tree"

# Every option of every --help has its entry in the manual page.
bin="$tree/usr/bin"
for help in "verrin" "verrin-cli load" "verrin-cli scan" "verrin-cli send" "verrin-sim" "verrin-line"; do
  read -r program command <<<"$help"
  page="$(LC_ALL=C MANWIDTH=200 man -l "$tree/usr/share/man/man1/$program.1.gz" 2>/dev/null)"
  for section in SYNOPSIS "EXIT STATUS" ENVIRONMENT FILES; do
    grep -q "^$section" <<<"$page" || fail "man $program has no $section"
  done
  options="$(QT_QPA_PLATFORM=offscreen "$bin/$program" $command --help 2>/dev/null | sed -n '/^Options:/,/^$/p' |
    grep -oE -- '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')"
  [ -n "$options" ] || fail "$help --help lists no options"
  for option in $options; do
    grep -qE -- "^ +(-[a-z], )?$option( |$)" <<<"$page" || fail "man $program lacks $help $option"
  done
done

# The completion offers a command's options as its --help lists them.
completion="$(PATH="$bin:$PATH" bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  COMP_WORDS=(verrin-cli load --sm) COMP_CWORD=2 COMP_LINE="verrin-cli load --sm" COMP_POINT=20
  _verrin_cli verrin-cli --sm load && echo "${COMPREPLY[*]}"' - "$tree/usr/share/bash-completion/completions/verrin-cli")"
[ "$completion" = "--small-packets" ] || fail "completion of \"verrin-cli load --sm\" gave \"$completion\""

if [ "$(id -u)" -ne 0 ]; then
  echo "Package install check skipped: apt-get install and purge need root."
  echo "Package checks passed in $((SECONDS - start)) s (without the install)."
  exit 0
fi

# apt reads the package as its own user: give it a copy it can reach.
chmod 755 "$scratch"
cp "$deb" "$scratch/" && chmod 644 "$scratch/$(basename "$deb")"
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$scratch/$(basename "$deb")" \
  >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; fail "apt-get install failed"; }
files="$(dpkg-query -L verrin)"

export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$scratch"
for program in verrin verrin-cli verrin-sim verrin-line; do
  shown="$("/usr/bin/$program" --version 2>/dev/null | awk 'NR == 1 { print $2 }')"
  [ "$shown" = "$version" ] || fail "$program --version shows \"$shown\", the package $version"
done
/usr/bin/verrin-cli --help | grep -q "^Usage: verrin-cli" || fail "verrin-cli --help"

# The installed virtual module answers the installed verrin-cli.
/usr/bin/verrin-sim >"$scratch/sim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done
port="$(head -n 1 "$scratch/sim.out")"
reply="$(/usr/bin/verrin-cli send --port "$port" --crlf --until OK "at+ab info")" || fail "verrin-cli send: $reply"
kill "$sim" && wait "$sim" || true
grep -q "Publish Addr" <<<"$reply" || fail "at+ab info answered \"$reply\""

# With no settings file the window starts on profile A and writes its defaults.
/usr/bin/verrin 2>/dev/null &
window=$!
reg="$XDG_CONFIG_HOME/Brondel/Verrin.reg"
for _ in $(seq 200); do [ -s "$reg" ] && break; sleep 0.05; done
kill -TERM "$window" && wait "$window" || fail "verrin did not start or close cleanly"
# The export text is UTF-16: dropping the NUL bytes leaves its ASCII.
tr -d '\0\r' <"$reg" | awk '/^\[/ { a = /\\Verrin\\A]$/ } a' | grep -q '^"Baudrate"=dword:0001c200$' ||
  fail "verrin did not start on profile A's defaults"

installed=""
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq verrin >"$scratch/apt.log" 2>&1 ||
  { cat "$scratch/apt.log"; fail "apt-get purge failed"; }
left=""
while read -r path; do
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == */verrin ]]; }; then left+=" $path"; fi
done <<<"$files"
[ -z "$left" ] || fail "left after purge:$left"
echo "Package checks passed in $((SECONDS - start)) s: built, validated, installed, run and purged."
