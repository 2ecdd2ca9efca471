#!/usr/bin/env bash
# The installer under wine: silent into a folder of the test's choosing (/S,
# /D=), the programs, DLLs, plugins, README and examples in place, the Start
# menu entry made, torv-cli.exe runs from there; the uninstaller removes it all.
# usage: installer_under_wine.sh PREFIX SETUP_EXE
set -u
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 setup=$2
[ -f "$setup" ] || { echo "FAIL: $setup is missing (scripts/windows.sh makes it)"; exit 1; }
run() { "$here/wine_run.sh" "$prefix" "$@"; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }
folder="$prefix/drive_c/torv-installer-test"
rm -rf "$folder"
run "$setup" /S '/D=C:\torv-installer-test' || fail "setup.exe /S: exit $?"
for f in torv-tester.exe torv-cli.exe Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll README.txt \
         examples/komory.json uninstall.exe; do
  [ -f "$folder/$f" ] || fail "not installed: $f"
done
menu=$(find "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" -iname 'Tester TORV-LCD*.lnk' | head -1)
[ -n "$menu" ] || fail "no Start menu entry for torv-tester"
version=$(run 'C:\torv-installer-test\torv-cli.exe' --version | tr -d '\r')
[[ "$version" =~ ^torv-cli\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the installed torv-cli.exe says: $version"
run 'C:\torv-installer-test\uninstall.exe' /S '_?=C:\torv-installer-test' || fail "uninstall.exe /S: exit $?"
[ ! -e "$folder/torv-tester.exe" ] || fail "the uninstaller left torv-tester.exe"
[ -z "$(find "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" -iname 'Tester TORV-LCD*.lnk')" ] \
  || fail "the uninstaller left the Start menu entry"
rm -rf "$folder"
[ $failed -eq 0 ] && echo "installer under wine: passed"
exit $failed
