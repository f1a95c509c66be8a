#!/usr/bin/env bash
# Counts the machine instructions (callgrind, whole process) of one pass over
# the sample calendar: the program, a minimal C program doing the same reads
# and search, and grep -F; for an ASCII and an accented name, in the C and the
# C.UTF-8 locale. Then a name found nowhere in a real calendar, where the
# program also searches every line for a spelling hint and finds none; and a
# hard file for the hint, where every place nearly holds the name.
# Prints a table; it measures, it does not judge.
# Usage: run.sh PROGRAM MINIMAL SAMPLE REAL_CALENDAR
set -euo pipefail
program=$(realpath "$1") minimal=$(realpath "$2") sample=$(realpath "$3") real=$(realpath "$4")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$sample" "$dir/originale.txt"
cd "$dir"

# Instructions of one run of the command, standard input from the file "typed".
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" < typed > /dev/null 2> valgrind.log || true
  sed -n 's/.*refs: *//p' valgrind.log | tr -d ,
}

# One row: the name typed in the locale, then the three counts and their ratio.
row() {
  local name=$1 locale=$2 typed_name
  typed_name=$(printf "$name")
  [ "$locale" = C.UTF-8 ] && typed_name=$(printf '%s' "$typed_name" | iconv -f WINDOWS-1252 -t UTF-8)
  printf 't\n%s\nn\n' "$typed_name" > typed
  export LC_ALL=$locale
  ours=$(count "$program")
  least=$(count "$minimal")
  grep_f=$(count grep -F -- "$typed_name" originale.txt)
  shown=$(printf "$name" | iconv -f WINDOWS-1252 -t UTF-8)
  printf '%-8s %10s %10s %10s %6s  %s\n' "$locale" "$ours" "$least" "$grep_f" \
    "$(awk -v a="$ours" -v b="$least" 'BEGIN { printf "%.2f", a / b }')" "$shown"
}

printf '%-8s %10s %10s %10s %6s  %s\n' locale program minimal "grep -F" ratio name
for name in "Lupi Rossi" "Citt\xE0 di Montefiore"; do
  for locale in C C.UTF-8; do
    row "$name" "$locale"
  done
done
cp "$real" originale.txt
echo "Over $(basename "$real"), a name found nowhere and near nothing (the spelling hint searched for):"
row Barcellona C
row Barcellona C.UTF-8
echo "The same, a second word that the file repeats in many lines (each such line nearly holds the name):"
row "Barcellona Calcio" C
row "Barcellona Calcio" C.UTF-8
{ head -c 24000 /dev/zero | tr '\0' A; echo; } > originale.txt
echo "A hard file, one line of 24,000 A's where every place nearly holds the name (the hint's work is capped):"
row aaaaaaaaaaaaaaaaaaa C
row aaaaaaaaaaaaaaaaaaa C.UTF-8
