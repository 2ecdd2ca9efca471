#!/usr/bin/env bash
# End to end: the real program under Xvfb against torv-sim in a temporary
# working directory. Start-up must read the controller (the block read: nine
# reads), the first timer tick must scan it (three reads), and the window is
# saved as a picture for the eye.
# usage: tool_on_simulator.sh TORV_TESTER TORV_SIM OUT.png
set -u
source "$(cd "$(dirname "$0")/../support" && pwd)/first_scan_check.sh"
tester=$1 sim=$2 shot=$3
work=$(mktemp -d /tmp/torv-e2e-XXXXXX)
simpid=""
trap 'kill $simpid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
printf '\x00\x01\x01\x00\x00\x00\x02\x00' > Torv_LCD.set   # COM1, 9600, no parity, address 1

"$sim" --address 1 --trace > sim.log 2>&1 &
simpid=$!
for _ in $(seq 100); do grep -q '^ready' sim.log && break; sleep 0.05; done

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  QT_QPA_PLATFORM=xcb "$1" & app=$!   # the X server, whatever the caller exported
  id=""
  for _ in $(seq 100); do
    sleep 0.1
    id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Tester TORV-LCD/ { print \$1; exit }")
    [ -n "$id" ] && break
  done
  sleep 12.5   # start-up, then the first 10 s tick and its scan
  [ -n "$id" ] && import -window "$id" "$2"
  kill $app; wait $app 2>/dev/null' _ "$tester" "$shot"

first_scan_check sim.log "$shot"
