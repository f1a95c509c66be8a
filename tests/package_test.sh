#!/usr/bin/env bash
# Builds both packages and checks what a user gets: the zip holds a 32-bit
# Windows console program, LEGGIMI.txt with CR LF line ends and the example
# calendar; the .deb is valid, holds usr/bin/quadrivo, and its program, once
# extracted, makes a calendar out of the example. Exit 77: tools missing.
# Usage: package_test.sh SOURCE_DIR
set -euo pipefail
src=$1
for tool in i686-w64-mingw32-g++ i686-w64-mingw32-objdump dpkg-shlibdeps dpkg-deb; do
  command -v $tool >/dev/null || { echo "$tool not installed"; exit 77; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

"$src/tools/make-packages" "$dir/out" > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make-packages"; }
version=$(sed -n 's/^project(quadrivo VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
zip=$dir/out/quadrivo-$version-win32.zip
deb=$dir/out/quadrivo_${version}_amd64.deb
[ -f "$zip" ] || fail "no $zip"
[ -f "$deb" ] || fail "no $deb"

mkdir "$dir/zip" && (cd "$dir/zip" && cmake -E tar xf "$zip")
win=$dir/zip/quadrivo-$version-win32
i686-w64-mingw32-objdump -f -p "$win/quadrivo.exe" > "$dir/exe"
grep -q 'file format pei-i386' "$dir/exe" || fail "quadrivo.exe is not 32-bit"
grep -q 'Windows CUI' "$dir/exe" || fail "quadrivo.exe is not a console program"
cmp -s "$win/originale.txt" "$src/sample/originale.txt" || fail "the zip's originale.txt is not the example"
lines=$(tr -cd '\n' < "$win/LEGGIMI.txt" | wc -c)
crlf=$(grep -c $'\r$' "$win/LEGGIMI.txt" || true)
[ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] || fail "LEGGIMI.txt does not end every line with CR LF"
grep -q $'Citt\xE0' "$win/LEGGIMI.txt" || fail "LEGGIMI.txt is not Windows-1252"

dpkg-deb --info "$deb" > "$dir/info" || fail "dpkg-deb --info"
grep -q '^ Depends: libc6' "$dir/info" || fail "no Depends on the C library"
grep -q '^ Maintainer: ' "$dir/info" || fail "no Maintainer"
dpkg-deb -c "$deb" > "$dir/contents"
grep -q ' ./usr/bin/quadrivo$' "$dir/contents" || fail "no usr/bin/quadrivo"
dpkg-deb -x "$deb" "$dir/root"
mkdir "$dir/run" && cp "$dir/root/usr/share/doc/quadrivo/originale.txt" "$dir/run/"
out=$(cd "$dir/run" && printf 't\nLupi Rossi\nn\n' | LC_ALL=C "$dir/root/usr/bin/quadrivo" 2>/dev/null) || fail "the extracted program failed"
grep -q 'Complimenti! Il tuo calendario' <<<"$out" || fail "no success message"
grep -q 'Lupi Rossi' "$dir/run/calendario.txt" || fail "calendario.txt lacks the team's lines"
echo "both packages are whole"
