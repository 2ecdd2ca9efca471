#!/usr/bin/env bash
# End to end: the real program under Xvfb against torv-sim in a temporary
# working directory. Start-up must read the controller (the block read: nine
# reads), the first timer tick must scan it (three reads), and the window is
# saved as a picture for the eye.
# LINE pty (the default): the settings choose COM1, the simulator's link.
# LINE ser2net: the settings choose COM2, a file naming the tcp:// line of a
# ser2net in front of the simulator; ser2net is restarted after the first
# scan, and the window's 10 s scans must go on over the same line.
# usage: tool_on_simulator.sh TORV_TESTER TORV_SIM OUT.png [LINE]
set -u
support="$(cd "$(dirname "$0")/../support" && pwd)"
source "$support/first_scan_check.sh"
source "$support/ser2net.sh"
tester=$1 sim=$2 shot=$3 line=${4:-pty}
work=$(mktemp -d /tmp/torv-e2e-XXXXXX)
simpid="" xvfb=""
trap 'ser2net_stop; [ -n "$xvfb" ] && kill $xvfb 2>/dev/null; kill $simpid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"

"$sim" --address 1 --trace > sim.log 2>&1 &
simpid=$!
for _ in $(seq 100); do grep -q '^ready' sim.log && break; sleep 0.05; done

case $line in
pty)
  printf '\x00\x01\x01\x00\x00\x00\x02\x00' > Torv_LCD.set   # COM1, 9600, no parity, address 1
  seconds=12.5   # start-up, then the first 10 s tick and its scan
  ;;
ser2net)
  ser2net_start "$(readlink -f COM1)" || exit 1
  echo "$ser2net_tcp" > COM2
  printf '\x01\x01\x01\x00\x00\x00\x03\x00' > Torv_LCD.set   # COM2, 9600, no parity, address 1
  seconds=42.5   # start-up, the first scan, ser2net away and back, the 30 s and 40 s ticks
  ;;
*) echo "unknown line $line"; exit 2 ;;
esac

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  QT_QPA_PLATFORM=xcb "$1" & app=$!   # the X server, whatever the caller exported
  id=""
  for _ in $(seq 100); do
    sleep 0.1
    id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Tester TORV-LCD/ { print \$1; exit }")
    [ -n "$id" ] && break
  done
  sleep "$3"
  [ -n "$id" ] && import -window "$id" "$2"
  kill $app; wait $app 2>/dev/null' _ "$tester" "$shot" "$seconds" &
xvfb=$!

status=0
if [ "$line" = ser2net ]; then
  scan="in  01 03 00 7E 00 02"
  for _ in $(seq 400); do grep -q "$scan" sim.log && break; sleep 0.05; done
  # The server goes away for a few seconds, its connection with it, and comes
  # back on the same port.
  ser2net_stop
  sleep 3
  restarted=$(wc -l < sim.log)
  ser2net_start "$(readlink -f COM1)" || exit 1
fi
wait $xvfb
xvfb=""

first_scan_check sim.log "$shot" || status=1
if [ "$line" = ser2net ]; then
  after=$(tail -n +$((restarted + 1)) sim.log | grep -c "$scan")
  echo "scans after ser2net came back: $after"
  [ "$after" -ge 1 ] || { echo "FAIL: the window's scans did not survive the ser2net restart"; tail -20 sim.log; status=1; }
fi
exit $status
