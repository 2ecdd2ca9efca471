#!/usr/bin/env bash
# torv-tester.exe under wine on a virtual X server, against the Linux torv-sim
# linked as COM1 of the wine prefix, in a folder with a settings file. Start-up
# must read controller 1 (the block read: nine reads), the first 10 s tick
# must scan it (three reads), and the window is saved as a picture.
# usage: window_under_wine.sh PREFIX TORV_TESTER_EXE TORV_SIM OUT.png
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/first_scan_check.sh"
prefix=$1 exe=$2 sim=$3 shot=$4
work=$(mktemp -d /tmp/torv-wine-window-XXXXXX)
simpid=""
trap '[ -n "$simpid" ] && kill $simpid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
[ -f "$exe" ] || { echo "FAIL: $exe is missing"; exit 1; }
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
