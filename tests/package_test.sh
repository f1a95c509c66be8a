#!/usr/bin/env bash
# The packages as a user gets them, made as the README says: `make package` in
# two clones of the project, in folders of different names and depths, must
# give the same bytes, the .deb the same as `dpkg-buildpackage -us -uc -b` makes
# in the second clone, as Debian builds packages; the tests of the package
# builds are left out (DEB_BUILD_OPTIONS=nocheck), since they are this run's
# own. The zip holds, at its root, a 32-bit Windows console
# program with its version, manifest and icon, all under Italian, importing
# only what Windows ships, which runs a whole pass under Wine, and its texts
# with CR LF line ends; the .deb and its .changes pass lintian, the .deb holds
# its manual pages and licence, and its program, extracted, makes a calendar;
# as root, `apt install ./quadrivo_*.deb` installs it, its autopkgtest passes
# against it and `apt remove quadrivo` removes it; make install and
# make uninstall leave nothing of the program behind. Where this machine
# cannot run 32-bit programs, the zip's program is looked at, not run, and the
# 64-bit build of the same source runs the pass under Wine in its place.
# Exit 77: tools missing.
# Usage: package_test.sh SOURCE_DIR, or package_test.sh --tools to say only
# which tools are missing (exit 77) or nothing (exit 0).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The make target's answer, when it has asked already (QUADRIVO_RUNS_32BIT), else ask.
runs_32bit=${QUADRIVO_RUNS_32BIT:-}
if [ "$runs_32bit" != yes ] && [ "$runs_32bit" != no ]; then
  runs_32bit=yes
  "$here/../tools/runs-32bit" || runs_32bit=no
fi
tools="git i686-w64-mingw32-g++ i686-w64-mingw32-objdump dpkg-buildpackage dh dpkg-deb lintian hardening-check wine
       unzip autopkgtest /usr/bin/python3"
[ $runs_32bit = yes ] || tools="$tools x86_64-w64-mingw32-g++ /usr/lib/wine/wine64"
for tool in $tools; do
  command -v $tool >/dev/null || { echo "$tool not installed (tools/install-missing package package-check wine)"; exit 77; }
done
/usr/bin/python3 -c 'import pefile' 2>/dev/null || { echo "python3-pefile not installed"; exit 77; }
[ "${1:-}" != --tools ] || exit 0
src=$1
dir=$(mktemp -d)
apt=(apt -y -q -o DPkg::Lock::Timeout=600)
installed_here=no
# What this test installed goes again, whatever happens.
cleanup() {
  [ $installed_here = no ] || "${apt[@]}" remove quadrivo > /dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# Two clones, each packaged with the README's command; the second also as a
# Debian developer builds it, beside the clone.
export DEB_BUILD_OPTIONS=nocheck
for clone in one/quadrivo two/deeper/other-name; do
  git clone --quiet "$src" "$dir/$clone"
  (cd "$dir/$clone" && make package) > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make package in $clone"; }
done
(cd "$dir/two/deeper/other-name" && dpkg-buildpackage -us -uc -b -Pnocheck) > "$dir/make.log" 2>&1 ||
  { cat "$dir/make.log"; fail "dpkg-buildpackage"; }
version=$(sed -n 's/^project(quadrivo VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
zip=$dir/one/quadrivo/build-package/quadrivo-$version-win32.zip
deb=$dir/two/deeper/quadrivo_$version-1_amd64.deb
changes=$dir/two/deeper/quadrivo_$version-1_amd64.changes
for package in "$zip" "${deb##*/}"; do
  cmp "$dir/one/quadrivo/build-package/${package##*/}" "$dir/two/deeper/other-name/build-package/${package##*/}" ||
    fail "${package##*/} differs between builds"
done
cmp "$deb" "$dir/one/quadrivo/build-package/${deb##*/}" || fail "make package's .deb is not dpkg-buildpackage's"

# The source tarball: one top folder, no .git.
(cd "$dir/one/quadrivo" && make dist) > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make dist"; }
tar tzf "$dir/one/quadrivo/build-package/quadrivo-$version.tar.gz" > "$dir/dist"
! grep -v -E "^quadrivo-$version/" "$dir/dist" && ! grep -q '/\.git/' "$dir/dist" && grep -q '/CMakeLists.txt$' "$dir/dist" ||
  fail "the source tarball is not one folder of sources"

# Every file at the zip's root: "Extract all" makes the one folder.
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LEGGIMI.txt LICENSE.txt originale.txt quadrivo.exe " ] ||
  fail "the zip does not hold the four files at its root: $(unzip -Z1 "$zip" | tr '\n' ' ')"
mkdir "$dir/zip" && (cd "$dir/zip" && unzip -q "$zip")
win=$dir/zip
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
# What a newcomer needs first: where the program goes, PowerShell's way to start
# it, the help, SmartScreen's and Excel's warnings, the restart answer.
for line in 'Metti quadrivo.exe nella stessa cartella di originale.txt' '.\quadrivo.exe' 'quadrivo /?' \
            'quadrivo --version' '"Esegui comunque"' $'rispondi "S\xEC"' 'rispondi y (non s)' 'originale.txt.txt' \
            'rinominalo scrivendo solo originale' $'\xABEstensioni nomi file\xBB'; do
  grep -q -F -- "$line" "$win/LEGGIMI.txt" || fail "LEGGIMI.txt lacks: $line"
done
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
assert "<longPathAware" in manifest and ">true</longPathAware>" in manifest, manifest
# The icon in the sizes Windows shows: 16, 32, 48 and 256 pixels, the last a PNG.
import struct
group = types[pefile.RESOURCE_TYPE["RT_GROUP_ICON"]].directory.entries[0].directory.entries[0].data.struct
directory = exe.get_data(group.OffsetToData, group.Size)
icons = {e.id: e for e in types[pefile.RESOURCE_TYPE["RT_ICON"]].directory.entries}
sizes = {}
for i in range(struct.unpack_from("<H", directory, 4)[0]):
    width, _, _, _, _, _, _, image = struct.unpack_from("<BBBBHHIH", directory, 6 + 14 * i)
    data = icons[image].directory.entries[0].data.struct
    sizes[width or 256] = exe.get_data(data.OffsetToData, 8) == b"\x89PNG\r\n\x1a\n"
assert sizes == {16: False, 32: False, 48: False, 256: True}, sizes
# Every resource under Italian.
for kind in exe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in kind.directory.entries:
        for language in name.directory.entries:
            assert (language.data.lang, language.data.sublang) == (0x10, 0x01), (kind.id, name.id, language.id)
EOF
# Only DLLs that every Windows has: nothing of the compiler's own runtime.
/usr/bin/python3 - "$win/quadrivo.exe" <<'EOF' || fail "quadrivo.exe imports a DLL that Windows does not ship"
import sys, pefile
imported = {entry.dll.decode().lower() for entry in pefile.PE(sys.argv[1]).DIRECTORY_ENTRY_IMPORT}
assert imported <= {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ntdll.dll"}, imported
EOF
# One whole pass of the zip's program under Wine, in a Wine prefix of its own;
# where 32-bit programs cannot run, of the 64-bit build beside the zip's files.
if [ $runs_32bit = yes ]; then
  run=$win loader=wine prefix=$dir/wine
else
  echo "This machine cannot run 32-bit programs: the 64-bit build runs the pass under Wine instead."
  (cd "$dir/one/quadrivo" && make windows64) > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make windows64"; }
  run=$dir/zip64 loader=/usr/lib/wine/wine64 prefix=$dir/wine64
  cp -r "$win" "$run" && cp "$dir/one/quadrivo/build-win64/quadrivo.exe" "$run/"
  export WINELOADER=$loader
fi
(cd "$run" && printf 't\r\nLupi Rossi\r\nn\r\n' | WINEPREFIX=$prefix WINEDEBUG=-all $loader quadrivo.exe > "$dir/wine.out" 2>&1) ||
  { cat "$dir/wine.out"; fail "the Windows program failed under Wine"; }
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
grep -q 'Complimenti! Il tuo calendario' "$dir/wine.out" || fail "no success message under Wine"
grep -q $'Lupi Rossi.*\r$' "$run/calendario.txt" || fail "the Windows program made no calendar"

# LEGGIMI's ways to start the program, as written: cmd's lines run under Wine
# from another drive (Z:), into the folder that "Extract all" makes in a
# user's Downloads, with a blank in its path. PowerShell's lines are only
# looked for: Wine has no PowerShell.
folder="C:\\Users\\Mario Rossi\\Downloads\\quadrivo-$version-win32"
leggimi=("cd /d \"$folder\"" "cd \"$folder\"" '.\quadrivo.exe' "\"$folder\\quadrivo.exe\"" 'quadrivo /? nel prompt'
         '.\quadrivo.exe /? in PowerShell' 'quadrivo /v o quadrivo --version')
for line in "${leggimi[@]}"; do
  grep -q -F -- "$line" "$win/LEGGIMI.txt" || fail "LEGGIMI.txt lacks: $line"
done
users=$(find "$prefix/drive_c" -maxdepth 1 -iname users | head -n 1)
mkdir -p "$users/Mario Rossi/Downloads/quadrivo-$version-win32"
cp "$run/quadrivo.exe" "$run/originale.txt" "$users/Mario Rossi/Downloads/quadrivo-$version-win32/"
# From the test's folder on Z:, the full path first, then into the folder.
printf '@echo off\r\n%s /v\r\n%s\r\nquadrivo /?\r\n' "${leggimi[3]}" "${leggimi[0]}" > "$dir/leggimi.bat"
(cd "$dir" && WINEPREFIX=$prefix WINEDEBUG=-all $loader cmd /c leggimi.bat > "$dir/leggimi.out" 2>&1) ||
  { cat "$dir/leggimi.out"; fail "LEGGIMI's prompt lines failed under Wine"; }
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
grep -q -F 'Uso: quadrivo [/? |' "$dir/leggimi.out" && grep -q "^quadrivo $version"$'\r$' "$dir/leggimi.out" ||
  { cat "$dir/leggimi.out"; fail "LEGGIMI's prompt lines do not start the program"; }

lintian --fail-on error,warning "$changes" > "$dir/lintian" 2>&1 || { cat "$dir/lintian"; fail "lintian errors or warnings"; }
! grep -E '^[EW]: ' "$dir/lintian" || fail "lintian errors or warnings"
dpkg-deb --info "$deb" > "$dir/info" || fail "dpkg-deb --info"
grep -q '^ Depends: libc6' "$dir/info" || fail "no Depends on the C library"
# The README asks for the C library version that the package depends on.
libc=$(sed -n 's/^ Depends:.*libc6 (>= \([0-9.]*\)).*/\1/p' "$dir/info")
grep 'la libreria C' "$src/README.md" | grep -q "la libreria C $libc " ||
  fail "the README's C library version is not the package's $libc"
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
# As the README says: apt installs the .deb, the package's own test passes
# against what is installed, apt removes it. Only as root, only where the
# package is not installed already, one such run at a time on this machine.
if [ "$(id -u)" -ne 0 ]; then
  echo "Skipped here: apt install and apt remove of the .deb need root."
elif ! command -v apt >/dev/null; then
  echo "Skipped here: apt install and apt remove of the .deb need apt."
else
  exec 9> /run/lock/quadrivo-package-test
  flock 9
  if dpkg-query -W -f '${Status}' quadrivo 2>/dev/null | grep -q ' installed$'; then
    echo "Skipped here: apt install and apt remove of the .deb: quadrivo is installed on this machine already."
  else
    installed_here=yes
    (cd "$dir/two/deeper" && "${apt[@]}" install "./${deb##*/}") > "$dir/apt.log" 2>&1 || { cat "$dir/apt.log"; fail "apt install"; }
    [ "$(/usr/bin/quadrivo --version)" = "quadrivo $version" ] || fail "the installed program is not version $version"
    autopkgtest "$deb" "$dir/two/deeper/other-name/" -- null > "$dir/autopkgtest.log" 2>&1 ||
      { cat "$dir/autopkgtest.log"; fail "autopkgtest"; }
    "${apt[@]}" remove quadrivo > "$dir/apt.log" 2>&1 || { cat "$dir/apt.log"; fail "apt remove"; }
    installed_here=no
    [ ! -e /usr/bin/quadrivo ] && [ ! -e /usr/share/man/man1/quadrivo.1.gz ] || fail "apt remove left the program"
  fi
  exec 9>&-
fi

# make install then make uninstall, staged: nothing of the program stays, the shared folders do.
stage=$dir/stage
(cd "$dir/one/quadrivo" && make install DESTDIR="$stage" PREFIX=/usr/local && make uninstall DESTDIR="$stage" PREFIX=/usr/local) \
  > "$dir/make.log" 2>&1 || { cat "$dir/make.log"; fail "make install, make uninstall"; }
left=$(cd "$stage" && find . \( -type f -o -path '*/share/doc/quadrivo*' \) -print)
[ -z "$left" ] || fail "make uninstall left $left"
for shared in bin share/man/man1; do
  [ -d "$stage/usr/local/$shared" ] || fail "make uninstall removed the shared folder $shared"
done
echo "both packages are whole, alike in two builds, and run"
