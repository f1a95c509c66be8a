#!/usr/bin/env bash
# Runs the end-to-end tests (ctest label "program") against a Windows build of
# the program under Wine, in a Wine prefix of its own that is removed after.
# WINE names the loader: wine by default (the 32-bit program), or Wine's
# 64-bit loader /usr/lib/wine/wine64 for the 64-bit build, which then starts
# every Windows program of the tests (cmd, wineboot) too.
# Usage: under_wine.sh BUILD_FOLDER PROGRAM_EXE
set -euo pipefail
build=$1 exe=$2
loader=${WINE:-wine}
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all
[ "$loader" = wine ] || export WINELOADER=$loader
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
# One server kept alive makes each run quick; making the prefix is the slow part.
wineserver -p
"$loader" wineboot -i >/dev/null 2>&1
cd "$build"
QUADRIVO_WINE=$loader QUADRIVO_COMMAND="$loader '$exe'" QUADRIVO_EXE=$exe QUADRIVO_CRLF=1 \
  QUADRIVO_HOLD=$(dirname "$exe")/hold_file.exe \
  ctest -L program --output-on-failure
