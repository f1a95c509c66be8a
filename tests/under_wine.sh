#!/usr/bin/env bash
# Runs the end-to-end tests (ctest label "program") against a Windows build of
# the program under Wine, in a Wine prefix of its own that is removed after.
# Usage: under_wine.sh BUILD_FOLDER PROGRAM_EXE
set -euo pipefail
build=$1 exe=$2
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
# One server kept alive makes each run quick; making the prefix is the slow part.
wineserver -p
wineboot -i >/dev/null 2>&1
QUADRIVO_COMMAND="wine '$exe'" QUADRIVO_EXE=$exe QUADRIVO_CRLF=1 ctest --test-dir "$build" -L program --output-on-failure
