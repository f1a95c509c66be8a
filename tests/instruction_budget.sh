#!/usr/bin/env bash
# One whole run of the program, a pass over a calendar for the name (by default
# one the sample holds) included, must stay under a budget of machine
# instructions as callgrind counts them.
# CALENDAR "one-letter" stands for a hard file made here: one line of 24,000
# A's, where every place nearly holds a name of a's.
# Usage: instruction_budget.sh PROGRAM CALENDAR BUDGET [NAME]. Exit 77: skipped.
set -euo pipefail
program=$1 sample=$2 budget=$3 name=${4:-Lupi Rossi}
command -v valgrind >/dev/null || { echo "valgrind not installed"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if [ "$sample" = one-letter ]; then
  { head -c 24000 /dev/zero | tr '\0' A; echo; } > "$dir/originale.txt"
else
  cp "$sample" "$dir/originale.txt"
fi
cd "$dir"
for locale in C C.UTF-8; do
  printf 't\n%s\nn\n' "$name" | LC_ALL=$locale valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$program" > /dev/null 2> valgrind.log
  count=$(sed -n 's/.*refs: *//p' valgrind.log | tr -d ,)
  echo "LC_ALL=$locale: $count instructions (budget $budget)"
  [ -n "$count" ] && [ "$count" -lt "$budget" ]
done
