#!/usr/bin/env bash
# One whole run of the program, a pass over a calendar for the name (by default
# one the sample holds) included, must stay under a budget of machine
# instructions as callgrind counts them.
# CALENDAR "one-letter" stands for a hard file made here: one line of 24,000
# A's, where every place nearly holds a name of a's.
# The program runs with an empty environment but its locale: every variable
# costs the C library's start-up (a package build's hundreds, some 33,000
# instructions). The budgets hold for g++ 12's code (QUADRIVO_COMPILER, set by
# CTest, names the build's compiler); another compiler's is skipped.
# Usage: instruction_budget.sh PROGRAM CALENDAR BUDGET [NAME]. Exit 77: skipped.
set -euo pipefail
program=$1 sample=$2 budget=$3 name=${4:-Lupi Rossi}
valgrind=$(command -v valgrind) || { echo "valgrind not installed"; exit 77; }
case ${QUADRIVO_COMPILER:-GNU 12} in
  "GNU 12."*) ;;
  *) echo "Skipped here: the instruction budgets were measured with g++ 12; this build's compiler is $QUADRIVO_COMPILER."
     exit 77 ;;
esac
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if [ "$sample" = one-letter ]; then
  { head -c 24000 /dev/zero | tr '\0' A; echo; } > "$dir/originale.txt"
else
  cp "$sample" "$dir/originale.txt"
fi
cd "$dir"
for locale in C C.UTF-8; do
  printf 't\n%s\nn\n' "$name" | env -i LC_ALL=$locale "$valgrind" --tool=callgrind --callgrind-out-file=/dev/null \
    "$program" > /dev/null 2> valgrind.log
  count=$(sed -n 's/.*refs: *//p' valgrind.log | tr -d ,)
  echo "LC_ALL=$locale: $count instructions (budget $budget)"
  [ -n "$count" ] && [ "$count" -lt "$budget" ]
done
