#!/usr/bin/env bash
# torv-tester.exe as the installer puts it, under wine on a virtual X server,
# against the Linux torv-sim linked as COM1 of the wine prefix, in a folder with
# a settings file. Start-up must read controller 1 (the block read: nine
# reads), the first 10 s tick must scan it (three reads), and the window is
# saved as a picture.
# usage: window_under_wine.sh PREFIX SETUP_EXE TORV_SIM OUT.png
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/first_scan_check.sh"
prefix=$1 setup=$2 sim=$3 shot=$4
installed="$prefix/drive_c/torv-window-test"
work=$(mktemp -d /tmp/torv-wine-window-XXXXXX)
simpid=""
# Uninstalled again, so that the installer's own check starts from nothing.
uninstall() { [ -f "$installed/uninstall.exe" ] && "$here/wine_run.sh" "$prefix" "$installed/uninstall.exe" /S '_?=C:\torv-window-test'; }
trap '[ -n "$simpid" ] && kill $simpid 2>/dev/null; wait 2>/dev/null; uninstall; rm -rf "$work" "$installed"' EXIT
cd "$work" || exit 1
[ -f "$setup" ] || { echo "FAIL: $setup is missing (scripts/windows.sh makes it)"; exit 1; }
rm -rf "$installed"
"$here/wine_run.sh" "$prefix" "$setup" /S '/D=C:\torv-window-test' || { echo "FAIL: setup.exe /S: exit $?"; exit 1; }
exe="$installed/torv-tester.exe"
[ -f "$exe" ] || { echo "FAIL: the installer did not put torv-tester.exe in C:\torv-window-test"; exit 1; }
printf '\x00\x01\x01\x00\x00\x00\x02\x00' > Torv_LCD.set   # COM1, 9600, no parity, address 1

"$sim" --address 1 --trace > sim.log 2>&1 &
simpid=$!
for _ in $(seq 100); do grep -q '^ready' sim.log && break; sleep 0.05; done
ln -sfn "$(readlink COM1)" "$prefix/com1-line"

# A wine server left by an earlier program without a display would keep its
# desktop off the X server: the window starts a session of its own.
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -w
# Wine passes no QT_* variable on: the platform is named on the command line.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" "$2" "$3" -platform windows & app=$!
  id=""
  for _ in $(seq 300); do
    sleep 0.1
    id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Tester TORV-LCD/ { print \$1; exit }")
    [ -n "$id" ] && break
  done
  sleep 13   # start-up, then the first 10 s tick and its scan
  [ -n "$id" ] && import -window "$id" "$4"
  kill $app; wait $app 2>/dev/null
  WINEPREFIX="$5" wineserver -k >/dev/null 2>&1' _ "$here/wine_run.sh" "$prefix" "$exe" "$shot" "$prefix"

first_scan_check sim.log "$shot"
