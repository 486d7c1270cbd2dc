#!/bin/sh
# What help2man reads to write a manual page: the program's own --version or
# --help. For a program with commands (verrin-cli load, scan, send) the help
# of each command follows in a section of its own, and the exit statuses that
# every command repeats come once, at the end.
# Usage: man-text.sh PROGRAM [COMMAND...] --help|--version
set -eu
program=$1
shift
commands=""
while [ $# -gt 1 ]; do
  commands="$commands $1"
  shift
done
if [ "$1" = --version ] || [ -z "$commands" ]; then
  exec "$program" "$1"
fi
"$program" --help | sed '/^Exit status:/,$d'
for command in $commands; do
  printf '\n*Command %s*\n' "$command"
  # The usage line stands alone as the command's synopsis, and "Options:"
  # would start help2man's one OPTIONS section: each command keeps its own.
  "$program" "$command" --help |
    sed -e '/^Exit status:/,$d' -e '1{s/^Usage: //;G;}' -e "s/^Options:\$/Options of $command:/"
done
printf '\n*Exit status*\n'
"$program" --help | sed '1,/^Exit status:/d'
