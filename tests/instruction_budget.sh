#!/usr/bin/env bash
# One whole run of the program, a pass over the sample calendar included, must
# stay under a budget of machine instructions as callgrind counts them.
# Usage: instruction_budget.sh PROGRAM SAMPLE_CALENDAR BUDGET. Exit 77: skipped.
set -euo pipefail
program=$1 sample=$2 budget=$3
command -v valgrind >/dev/null || { echo "valgrind not installed"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$sample" "$dir/originale.txt"
cd "$dir"
for locale in C C.UTF-8; do
  printf 't\nLupi Rossi\nn\n' | LC_ALL=$locale valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$program" > /dev/null 2> valgrind.log
  count=$(sed -n 's/.*refs: *//p' valgrind.log | tr -d ,)
  echo "LC_ALL=$locale: $count instructions (budget $budget)"
  [ -n "$count" ] && [ "$count" -lt "$budget" ]
done
