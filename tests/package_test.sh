#!/usr/bin/env bash
# The packages as a user gets them, made as the README says: `make package` in
# two clones of the project, in folders of different names and depths, must
# give the same bytes. The zip holds a 32-bit Windows console program with its
# version, manifest and icon, which runs a whole pass under Wine, and its texts
# with CR LF line ends; the .deb passes lintian, holds its manual pages and
# licence, and its program, extracted, makes a calendar. Exit 77: tools missing.
# Usage: package_test.sh SOURCE_DIR
set -euo pipefail
src=$1
for tool in git i686-w64-mingw32-g++ i686-w64-mingw32-objdump dpkg-shlibdeps dpkg-deb lintian hardening-check \
            wine unzip /usr/bin/python3; do
  command -v $tool >/dev/null || { echo "$tool not installed (tools/install-missing package package-check wine)"; exit 77; }
done
/usr/bin/python3 -c 'import pefile' 2>/dev/null || { echo "python3-pefile not installed"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

# Two clones, each packaged with the README's command.
for clone in one/quadrivo two/deeper/other-name; do
  git clone --quiet "$src" "$dir/$clone"
  (cd "$dir/$clone" && make package) > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make package in $clone"; }
done
version=$(sed -n 's/^project(quadrivo VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
zip=$dir/one/quadrivo/build-package/quadrivo-$version-win32.zip
deb=$dir/one/quadrivo/build-package/quadrivo_$version-1_amd64.deb
for package in "$zip" "$deb"; do
  cmp "$package" "$dir/two/deeper/other-name/build-package/${package##*/}" || fail "${package##*/} differs between builds"
done

# The source tarball: one top folder, no .git.
(cd "$dir/one/quadrivo" && make dist) > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make dist"; }
tar tzf "$dir/one/quadrivo/build-package/quadrivo-$version.tar.gz" > "$dir/dist"
! grep -v -E "^quadrivo-$version/" "$dir/dist" && ! grep -q '/\.git/' "$dir/dist" && grep -q '/CMakeLists.txt$' "$dir/dist" ||
  fail "the source tarball is not one folder of sources"

mkdir "$dir/zip" && (cd "$dir/zip" && unzip -q "$zip")
win=$dir/zip/quadrivo-$version-win32
i686-w64-mingw32-objdump -f -p "$win/quadrivo.exe" > "$dir/exe"
grep -q 'file format pei-i386' "$dir/exe" || fail "quadrivo.exe is not 32-bit"
grep -q 'Windows CUI' "$dir/exe" || fail "quadrivo.exe is not a console program"
cmp -s "$win/originale.txt" "$src/sample/originale.txt" || fail "the zip's originale.txt is not the example"
for text in LEGGIMI.txt LICENSE.txt; do
  lines=$(tr -cd '\n' < "$win/$text" | wc -c)
  crlf=$(grep -c $'\r$' "$win/$text" || true)
  [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] || fail "$text does not end every line with CR LF"
done
grep -q $'Citt\xE0' "$win/LEGGIMI.txt" || fail "LEGGIMI.txt is not Windows-1252"
grep -q "quadrivo $version" "$win/LEGGIMI.txt" || fail "LEGGIMI.txt lacks the version"
grep -q 'MIT License' "$win/LICENSE.txt" || fail "no licence in the zip"
/usr/bin/python3 - "$win/quadrivo.exe" "$version" <<'EOF' || fail "quadrivo.exe lacks its resources"
import sys, pefile
exe = pefile.PE(sys.argv[1])
strings = {k.decode(): v.decode() for info in exe.FileInfo[0] if info.Key == b"StringFileInfo"
           for table in info.StringTable for k, v in table.entries.items()}
assert strings["ProductName"] == "quadrivo" and strings["FileVersion"] == sys.argv[2], strings
assert "calendario" in strings["FileDescription"] and "MIT" in strings["LegalCopyright"], strings
types = {entry.id: entry for entry in exe.DIRECTORY_ENTRY_RESOURCE.entries}
assert pefile.RESOURCE_TYPE["RT_GROUP_ICON"] in types, "no icon"
data = types[pefile.RESOURCE_TYPE["RT_MANIFEST"]].directory.entries[0].directory.entries[0].data.struct
manifest = exe.get_data(data.OffsetToData, data.Size).decode()
assert 'level="asInvoker"' in manifest and manifest.count("<supportedOS") == 4, manifest
EOF
# One whole pass of the zip's program under Wine, in a Wine prefix of its own.
(cd "$win" && printf 't\r\nLupi Rossi\r\nn\r\n' | WINEPREFIX=$dir/wine WINEDEBUG=-all wine quadrivo.exe > "$dir/wine.out" 2>&1) ||
  { cat "$dir/wine.out"; fail "the zip's program failed under Wine"; }
WINEPREFIX=$dir/wine wineserver -k 2>/dev/null || true
grep -q 'Complimenti! Il tuo calendario' "$dir/wine.out" || fail "no success message under Wine"
grep -q $'Lupi Rossi.*\r$' "$win/calendario.txt" || fail "the zip's program made no calendar"

lintian "$deb" > "$dir/lintian" 2>&1 || true
! grep -E '^[EW]: ' "$dir/lintian" || fail "lintian errors or warnings"
dpkg-deb --info "$deb" > "$dir/info" || fail "dpkg-deb --info"
grep -q '^ Depends: libc6' "$dir/info" || fail "no Depends on the C library"
grep -q "^ Version: $version-1$" "$dir/info" || fail "no Debian revision"
dpkg-deb -x "$deb" "$dir/root"
for file in usr/bin/quadrivo usr/share/man/man1/quadrivo.1.gz usr/share/man/it/man1/quadrivo.1.gz \
            usr/share/doc/quadrivo/copyright usr/share/doc/quadrivo/changelog.Debian.gz; do
  [ -s "$dir/root/$file" ] || fail "no $file in the .deb"
done
zgrep -q 'calendario' "$dir/root/usr/share/man/it/man1/quadrivo.1.gz" || fail "no Italian manual page"
# Debian 12's hardening=+all: PIE, stack protector, fortify, RELRO, immediate binding (no branch protection).
hardening-check --nocfprotection "$dir/root/usr/bin/quadrivo" > "$dir/hardening" || { cat "$dir/hardening"; fail "hardening"; }
mkdir "$dir/run" && cp "$dir/root/usr/share/doc/quadrivo/examples/originale.txt" "$dir/run/"
out=$(cd "$dir/run" && printf 't\nLupi Rossi\nn\n' | LC_ALL=C "$dir/root/usr/bin/quadrivo" 2>/dev/null) || fail "the extracted program failed"
grep -q 'Complimenti! Il tuo calendario' <<<"$out" || fail "no success message"
grep -q 'Lupi Rossi' "$dir/run/calendario.txt" || fail "calendario.txt lacks the team's lines"
echo "both packages are whole, alike in two builds, and run"
