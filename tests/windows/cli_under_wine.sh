#!/usr/bin/env bash
# torv-cli.exe under wine against the Linux torv-sim, its pseudo-terminal linked
# as COM1 of the wine prefix; the Linux torv-cli on the same simulator is the
# measure: the same results, files and frames.
# usage: cli_under_wine.sh PREFIX TORV_CLI_EXE LINUX_TORV_CLI TORV_SIM GROUP
#   GROUP: read | bustest | clone | log | pauses | serve | network
set -u
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 exe=$2 cli=$3 sim=$4 group=$5
work=$(mktemp -d /tmp/torv-wine-cli-XXXXXX)
simpid="" serverpid="" failed=0
trap 'for p in $simpid $serverpid; do kill $p 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
for f in "$exe" "$cli" "$sim"; do [ -x "$f" ] || [ -f "$f" ] || { echo "FAIL: $f is missing"; exit 1; }; done

fail() { echo "FAIL: $*"; failed=1; }
# A line of controllers linked as COM1 here and as COM1 of the prefix; arguments go to torv-sim.
serve() {
  "$sim" --trace "$@" > sim.log 2>&1 &
  simpid=$!
  for _ in $(seq 100); do grep -q '^ready' sim.log && break; sleep 0.05; done
  grep -q '^ready' sim.log || { cat sim.log; echo "FAIL: the simulator did not start"; exit 1; }
  ln -sfn "$(readlink COM1)" "$prefix/com1-line"
}
# ser2net over the simulator's pty on two free loopback ports: the RTU bytes as
# they are on $rawport (its line at 19200 b/s), telnet with the COM-PORT option
# on $telnetport (its line at 9600 b/s until the client sets another).
device_server() {
  read -r rawport telnetport < <(python3 -c '
import socket
held = [socket.socket() for _ in range(2)]
for s in held: s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in held))')
  pty=$(readlink -f COM1)
  cat > ser2net.yaml <<EOF
%YAML 1.1
---
connection: &raw
  accepter: tcp,127.0.0.1,$rawport
  connector: serialdev,$pty,19200n81,local
connection: &telnet
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnetport
  connector: serialdev,$pty,9600n81,local
EOF
  ser2net -n -d -u -c ser2net.yaml -P ser2net.pid > ser2net.log 2>&1 &
  serverpid=$!
  # Both ports listening (state 0A) in the kernel's table.
  local listening="0100007F:($(printf %04X "$rawport")|$(printf %04X "$telnetport")) 00000000:0000 0A"
  for _ in $(seq 100); do
    [ "$(grep -cE "$listening" /proc/net/tcp)" -eq 2 ] && return
    sleep 0.05
  done
  cat ser2net.log; echo "FAIL: ser2net did not listen"; exit 1
}
# ser2net keeps the pty a moment after its client left, and turns the next one
# away meanwhile ("Port's device already in use"): wait until it let go.
pty_free() {
  for _ in $(seq 100); do
    ls -l "/proc/$serverpid/fd" 2>/dev/null | grep -q -- "-> $pty\$" || return 0
    sleep 0.05
  done
  fail "ser2net still holds $pty"
}
# torv-cli.exe under wine, its output with Windows' line ends taken off; exit status in $rc.
win() { "$here/wine_run.sh" "$prefix" "$exe" "$@" > out.raw 2> err.raw; rc=$?; tr -d '\r' < out.raw > win.out; tr -d '\r' < err.raw > win.err; }
lin() { "$cli" "$@" > lin.out 2> lin.err; lrc=$?; }
expect() { # STATUS DESCRIPTION
  [ "$rc" -eq "$1" ] || { fail "$2: exit $rc, expected $1"; cat win.err; }
  [ "${lrc:-$1}" -eq "$1" ] || { fail "$2 (Linux): exit $lrc, expected $1"; cat lin.err; }
}
mark() { wc -l < sim.log; }
# The requests received since line MARK, the address left out: two runs on two controllers compare.
requests() { tail -n +$(($1 + 1)) sim.log | awk '$3 == "in" { $1 = $2 = $4 = ""; print }' | sed 's/ [0-9A-F][0-9A-F] [0-9A-F][0-9A-F]$//'; }
# JSON without the keys that tell when it was made.
timeless() { python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
d.pop("saved", None)
if isinstance(d.get("measurements"), dict): d["measurements"].pop("time", None)
print(json.dumps(d, sort_keys=True))' "$1"; }

case $group in
read)
  serve --baud 19200 --still --address 1 --address 3
  m=$(mark); lin --port "$work/COM1" --baud 19200 read 3 --json
  linux_frames=$(requests "$m")
  m=$(mark); win --port COM1 --baud 19200 read 3 --json
  expect 0 "read --json"
  [ "$(requests "$m")" = "$linux_frames" ] || fail "read sent $(requests "$m"), Linux sent $linux_frames"
  [ "$(timeless win.out)" = "$(timeless lin.out)" ] || fail "read --json: $(cat win.out) where Linux printed $(cat lin.out)"
  grep -q '"TempDry": 25.0' win.out || fail "the simulator's values did not arrive: $(cat win.out)"
  lin --port "$work/COM1" --baud 19200 read 3
  win --port COM1 --baud 19200 read 3
  expect 0 "read"
  # The table's first line tells when it was read.
  stamp='s/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}/TIME/'
  [ "$(sed -E "$stamp" win.out)" = "$(sed -E "$stamp" lin.out)" ] && grep -q ' 60  Temperatura zadana$' win.out \
    || fail "read's table differs: $(diff lin.out win.out)"
  ;;
bustest)
  serve --baud 19200 --address 3 --address 12
  m=$(mark); win --port COM1 --baud 19200 bustest --json
  probes=$(tail -n +$((m + 1)) sim.log | grep -c ' in  .. 03 00 60 00 02')
  lin --port "$work/COM1" --baud 19200 bustest --json
  expect 0 "bustest --json"
  [ "$(cat win.out)" = '{"found": [3, 12]}' ] && cmp -s win.out lin.out \
    || fail "bustest --json printed $(cat win.out), Linux $(cat lin.out)"
  [ "$probes" -eq 250 ] || fail "$probes probes instead of one at each of 1..250"
  ;;
clone)
  serve --baud 19200 --still --address 1 --address 2
  cat > edited.json <<'EOF'
{ "format": "torv-lcd-parameters", "version": 1,
  "parameters": { "SetTemperature": 72, "CalibrationT1": -0.5, "HumidifyPause": "2:00", "AlarmBuzzer": false },
  "programme": [ {}, {}, {}, { "hours": 5, "temperature": 75, "difference": 15 }, {}, {}, {}, {}, {}, {} ] }
EOF
  m=$(mark); lin --port "$work/COM1" --baud 19200 restore edited.json 1
  linux_frames=$(requests "$m")
  m=$(mark); win --port COM1 --baud 19200 restore edited.json 2
  expect 0 "restore of an edited set"
  [ "$(requests "$m")" = "$linux_frames" ] || fail "restore sent $(requests "$m"), Linux sent $linux_frames"
  [ "$(sed 's/komora 1/komora 2/' lin.out)" = "$(cat win.out)" ] || fail "restore printed $(cat win.out), Linux $(cat lin.out)"
  grep -qx 'komora 2: zestaw w module: tak' win.out || fail "the set is not verified: $(cat win.out)"
  # Saved under wine and read back by Linux: the file is the same set.
  win --port COM1 --baud 19200 backup 2 komora-002.json
  lin --port "$work/COM1" --baud 19200 backup 1 komora-001.json
  expect 0 "backup"
  grep -q 'Zapisano parametry do pliku: ' win.out || fail "backup's line: $(cat win.out)"
  [ "$(timeless komora-002.json | sed 's/"address": 2/"address": 1/')" = "$(timeless komora-001.json)" ] \
    || fail "backup wrote $(cat komora-002.json), Linux $(cat komora-001.json)"
  cmp -s <(tail -c 2 komora-002.json | od -An -c) <(tail -c 2 komora-001.json | od -An -c) \
    || fail "the file's line ends differ from Linux's"
  lin --port "$work/COM1" --baud 19200 restore komora-002.json 1
  win --port COM1 --baud 19200 restore komora-001.json 2
  expect 0 "restore of each other's backup"
  ;;
log)
  serve --baud 19200 --still --address 1 --address 3
  win --port COM1 --baud 19200 log 1 3 --count 2 --every 1 --dir win
  lin --port "$work/COM1" --baud 19200 log 1 3 --count 2 --every 1 --dir lin
  expect 0 "log --count 2"
  [ "$(cd win && ls)" = "$(cd lin && ls)" ] && [ "$(ls win | wc -l)" -eq 2 ] \
    || fail "log wrote $(ls win), Linux $(ls lin)"
  for f in lin/*; do
    w="win/${f#lin/}"
    # The columns and values, the time column aside; the line ends as written (CRLF).
    [ "$(cut -d, -f2- "$w" | od -c)" = "$(cut -d, -f2- "$f" | od -c)" ] \
      || fail "$w: $(cat -A "$w") where Linux wrote $(cat -A "$f")"
    [ "$(wc -l < "$w")" -eq 4 ] || fail "$w: $(wc -l < "$w") lines, expected a header, the read and two scans"
  done
  ;;
pauses)
  # The pause behind each byte of a request: 1 ms at 19200 b/s, 2 at 9600, 3 at 4800.
  # Measured between the pieces the simulator reads, per byte; the median of a
  # block read's 63 gaps must be at least the pause. A loaded machine (and wine)
  # only ever makes them longer, so how much longer is printed, not judged.
  for speed in 19200:1 9600:2 4800:3; do
    baud=${speed%:*} pause=${speed#*:}
    serve --baud "$baud" --still --trace-bytes --address 1
    for who in win lin; do
      m=$(mark)
      if [ $who = win ]; then win --port COM1 --baud "$baud" read 1 --json; else lin --port "$work/COM1" --baud "$baud" read 1 --json; fi
      expect 0 "read at $baud b/s"
      stats=$(tail -n +$((m + 1)) sim.log | python3 "$here/byte_pauses.py")
      echo "$who $baud b/s, pause $pause ms: $stats"
      [ $who = lin ] && continue
      python3 - "$stats" "$pause" <<'EOF' || fail "the pauses at $baud b/s: $stats"
import sys
median = float(dict(kv.split("=") for kv in sys.argv[1].split())["median"])
pause = float(sys.argv[2])
sys.exit(0 if pause <= median else 1)
EOF
    done
    kill $simpid; wait $simpid 2>/dev/null; simpid=""
  done
  ;;
serve)
  # No simulator: serve, the help and a port that is not there need no line.
  win serve 1 2
  [ "$rc" -eq 2 ] && grep -qx 'torv-cli: serve runs on Linux only' win.err \
    && grep -q '^  serve  *runs on Linux only' win.err || fail "serve: exit $rc, $(cat win.err)"
  win --help
  [ "$rc" -eq 0 ] && grep -q '^  serve  *runs on Linux only' win.out && ! grep -q -- '--mqtt\|--metrics' win.out \
    || fail "--help: exit $rc, $(cat win.out)"
  # Above the options the texts are Linux's, serve's lines aside.
  lin --help
  above() { sed '/^Options:/q' "$1" | grep -v '^  serve\|^        \[\|^                                         [a-z(p]'; }
  [ "$(above win.out)" = "$(above lin.out)" ] || fail "--help differs beyond serve: $(diff lin.out win.out)"
  win --version; lin --version
  expect 0 "--version"
  cmp -s win.out lin.out || fail "--version: $(cat win.out), Linux $(cat lin.out)"
  rm -f "$prefix/dosdevices/com9"
  win --port COM9 read 1
  [ "$rc" -eq 3 ] || fail "a missing COM9: exit $rc, $(cat win.err)"
  ;;
network)
  # The line behind a device server. The simulator runs at 19200 b/s: through
  # telnet only a client that sets the server's speed to it is answered.
  serve --baud 19200 --still --address 1 --address 3
  device_server
  for url in "tcp://127.0.0.1:$rawport" "rfc2217://127.0.0.1:$telnetport"; do
    pty_free; m=$(mark); lin --port "$url" --baud 19200 read 3 --json
    linux_frames=$(requests "$m")
    pty_free; m=$(mark); win --port "$url" --baud 19200 read 3 --json
    expect 0 "read --json over $url"
    [ "$(requests "$m")" = "$linux_frames" ] || fail "$url: read sent $(requests "$m"), Linux sent $linux_frames"
    [ "$(timeless win.out)" = "$(timeless lin.out)" ] || fail "$url: $(cat win.out) where Linux printed $(cat lin.out)"
    grep -q '"TempDry": 25.0' win.out || fail "$url: the simulator's values did not arrive: $(cat win.out)"
  done
  # Told apart before any connection: a URL without its port is a usage error in
  # Linux's words (the usage below them differs in serve's lines).
  win --port tcp://127.0.0.1 read 1; lin --port tcp://127.0.0.1 read 1
  expect 2 "a URL without a port"
  [ "$(head -n 1 win.err)" = "$(head -n 1 lin.err)" ] && grep -q 'no port' win.err \
    || fail "a URL without a port: $(head -n 1 win.err), Linux $(head -n 1 lin.err)"
  # A port nobody listens on: the usual port error.
  closed=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  win --port "tcp://127.0.0.1:$closed" read 1; lrc=""
  expect 3 "a refused connection"
  grep -q "^torv-cli: port tcp://127.0.0.1:$closed cannot be opened: " win.err || fail "a refused connection: $(cat win.err)"
  ;;
*)
  echo "unknown group $group"; exit 2 ;;
esac
[ $failed -eq 0 ] && echo "torv-cli.exe under wine: $group passed"
exit $failed
