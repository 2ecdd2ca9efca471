#!/usr/bin/env bash
# torv-cli against torv-sim on a pseudo-terminal: each command's result and
# exit status, and the frames the simulator received (its --trace).
# usage: cli_on_simulator.sh TORV_CLI TORV_SIM GROUP
#   GROUP: read | bustest | clone | failures | log | readonly | serve | metrics | mqtt | retained | reply
set -u
cli=$1 sim=$2 group=$3
work=$(mktemp -d /tmp/torv-cli-XXXXXX)
simpid="" failed=0
trap '[ -n "$simpid" ] && kill $simpid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() { echo "FAIL: $*"; failed=1; }
# A line of controllers at 19200 b/s, linked as COM1 here; extra arguments go to torv-sim.
serve() {
  "$sim" --baud 19200 --trace "$@" > sim.log 2>&1 &
  simpid=$!
  for _ in $(seq 100); do grep -q '^ready' sim.log && return; sleep 0.05; done
  cat sim.log; echo "FAIL: the simulator did not start"; exit 1
}
# Runs torv-cli; its exit status in $rc, its output in out and err.
run() { "$cli" "$@" > out 2> err; rc=$?; }
expect() { # STATUS DESCRIPTION
  [ "$rc" -eq "$1" ] || { fail "$2: exit $rc, expected $1"; cat err; }
}
mark() { wc -l < sim.log; }
# Requests to ADDRESS received since line MARK, as "r START/COUNT" or "w REGISTER".
frames() {
  tail -n +$(($1 + 1)) sim.log | awk -v a="$2" '$3 == "in" && $4 == a {
    printf "%s ", ($5 == "03" ? "r " $7 "/" $9 : "w " $7) }'
}
block="r 60/08 r 68/08 r 70/08 r 78/08 r A0/08 r 80/08 r 88/08 r 90/08 r 98/08 "
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
json_field() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print(json.dumps((d$2), sort_keys=True))" "$1"; }

# A mosquitto of the test's own on a free loopback port ($port, $broker).
port=""
broker_start() {
  [ -n "$port" ] || port=$(free_port)
  printf 'listener %s 127.0.0.1\nallow_anonymous true\n%s' "$port" "$([ "$(id -u)" -eq 0 ] && echo 'user root')" \
    > mosquitto.conf
  "$(command -v mosquitto || echo /usr/sbin/mosquitto)" -c mosquitto.conf > broker.log 2>&1 &
  broker=$!
  for _ in $(seq 200); do grep -q ' running' broker.log && return; sleep 0.05; done
  fail "mosquitto did not start: $(cat broker.log)"
}
# The retained messages under the prefix and the discovery prefix, as "topic<TAB>payload" lines.
retained() { mosquitto_sub -p "$port" -t 'torv/test/#' -t 'homeassistant/#' --retained-only -W 2 -F '%t	%p' 2>/dev/null; }
# Waits up to a minute for the retained payload of TOPIC to match REGEX.
until_retained() {
  for _ in $(seq 150); do
    [[ "$(mosquitto_sub -p "$port" -t "$1" --retained-only -C 1 -W 1 2>/dev/null)" =~ $2 ]] && return 0
    sleep 0.2
  done
  return 1
}

case $group in
read)
  # Line settings from the settings file: COM1, 19200 b/s, no parity.
  printf '\x00\x00\x01\x00\x00\x00\x01\x00' > Torv_LCD.set
  serve --address 4
  m=$(mark); run read 4 --json
  expect 0 "read --json"
  [ "$(frames "$m" 04)" = "$block" ] || fail "read sent $(frames "$m" 04)"
  [ "$(json_field out "['address'], d['baudCode'], d['measurements']['status']")" = '[4, 1, "ok"]' ] \
    || fail "read --json: $(cat out)"
  [ "$(json_field out "['programme'][2]")" = '{"difference": 12, "hours": 8, "temperature": 70}' ] \
    || fail "programme step 3: $(json_field out "['programme'][2]")"
  [ "$(json_field out "['measurements']['TempDry'] > 0, d['parameters']['HumidifyPause']")" = '[true, "1:00"]' ] \
    || fail "measurements or parameters: $(cat out)"
  # A pty carries no parity: asked for, it is left off and said once, on every run alike.
  for _ in 1 2; do
    run --parity even read 4 --json
    expect 0 "read with parity on the simulator's pty"
    [ "$(grep -c 'pseudo-terminal, which carries no parity' err)" -eq 1 ] || fail "parity on a pty: $(cat err)"
  done
  run read 4
  expect 0 "read"
  grep -q '^  SetTemperature  *60  Temperatura zadana$' out || fail "read table: $(cat out)"
  # A result that could not be written is a failure, not a silent success.
  "$cli" read 4 --json > /dev/full 2> err; rc=$?
  expect 1 "read --json to a full device"
  grep -q 'cannot write the output: No space left on device' err || fail "the lost output is not told: $(cat err)"
  # Started with stdin and stdout closed: the result must not land in whatever
  # is opened next (the port would be).
  m=$(mark); "$cli" read 4 --json <&- >&- 2> err; rc=$?
  expect 1 "read --json with stdout closed"
  grep -q 'cannot write the output' err || fail "closed stdout: $(cat err)"
  [ "$(frames "$m" 04)" = "$block" ] || fail "with stdout closed the line got $(frames "$m" 04)"
  ! tail -n +$((m + 1)) sim.log | grep -qv ' in  04 03 \| out 04 03 ' || fail "stray bytes on the line: $(tail -n +$((m + 1)) sim.log)"
  ;;
bustest)
  serve --address 3 --address 12
  m=$(mark); run --port "$work/COM1" --baud 19200 bustest --json
  expect 0 "bustest --json"
  [ "$(cat out)" = '{"found": [3, 12]}' ] || fail "bustest --json printed $(cat out)"
  probes=$(tail -n +$((m + 1)) sim.log | grep -c ' in  .. 03 00 60 00 02')
  [ "$probes" -eq 250 ] || fail "$probes probes instead of one at each of 1..250"
  [ "$(frames "$m" 0C)" = "r 60/02 $block" ] || fail "a found controller is probed and block-read once"
  ;;
clone)
  serve --address 1 --address 2 --address 3
  cat > edited.json <<'EOF'
{ "format": "torv-lcd-parameters", "version": 1,
  "parameters": { "SetTemperature": 72, "CalibrationT1": -0.5, "HumidifyPause": "2:00", "AlarmBuzzer": false },
  "programme": [ {}, {}, {}, { "hours": 5, "temperature": 75, "difference": 15 }, {}, {}, {}, {}, {}, {} ] }
EOF
  m=$(mark); run --baud 19200 restore edited.json 1
  expect 0 "restore of an edited set"
  # The alarm tick is written as the load moves it; ZAPIS then writes only
  # the rows that differ, in its order, each read back, and reads all again.
  [ "$(frames "$m" 01)" = "$block""w 7D r 7D/02 r 60/01 w 6C r 6C/02 w 75 r 75/02 w 6A r 6A/02 w 89 r 89/02 w 8A r 8A/02 w 8B r 8B/02 $block" ] \
    || fail "restore sent $(frames "$m" 01)"
  grep -qx 'komora 1: HumidifyPause: 1:00 → 2:00' out && grep -qx 'komora 1: zestaw w module: tak' out \
    && [ "$(wc -l < out)" -eq 8 ] || fail "restore report: $(cat out)"
  run --baud 19200 backup 1 komora-001.json
  expect 0 "backup"
  run --baud 19200 restore komora-001.json 2 3
  expect 0 "restore to 2 and 3"
  [ "$(grep -c 'zestaw w module: tak' out)" -eq 2 ] || fail "restore to 2 and 3: $(cat out)"
  for a in 1 2 3; do
    run --baud 19200 read $a --json
    json_field out "['parameters'], d['programme']" > held-$a
  done
  grep -q '"SetTemperature": 72' held-1 || fail "controller 1 does not hold the edited set"
  cmp -s held-1 held-2 && cmp -s held-1 held-3 || fail "the three controllers differ: $(cat held-*)"
  m=$(mark); run --baud 19200 restore komora-001.json 2
  [ "$(frames "$m" 02)" = "$block""r 60/01 $block" ] || fail "a controller holding the set got writes"
  grep -qx 'komora 2: bez zmian' out || fail "no changes reported as $(cat out)"
  # A set from a pipe is read once, and all of it reaches every chamber.
  sed 's/"SetTemperature": 72/"SetTemperature": 65/' edited.json | "$cli" --baud 19200 restore /dev/stdin 2 3 > out 2> err
  rc=$?
  expect 0 "restore from a pipe"
  [ "$(grep -cx 'komora [23]: SetTemperature: 72 → 65' out)" -eq 2 ] \
    && [ "$(grep -cx 'komora [23]: zestaw w module: tak' out)" -eq 2 ] || fail "restore from a pipe: $(cat out)"
  ;;
failures)
  # 4 answers its first 14 requests, then never again.
  serve --address 1 --address 2 --fault 2:failfrom=11 --address 3 --address 4 --fault 4:failfrom=15
  echo '{ "format": "torv-lcd-parameters", "version": 1, "parameters": { "SetTemperature": 70 } }' > set.json
  echo '{ "format": "torv-lcd-parameters", "version": 1, "parameters": { "SetTemperature": 700 } }' > range.json
  mkfifo fifo.json; mknod device.json c 1 3 2>/dev/null || ln -s /dev/null device.json
  ln -s loop.json loop.json; long=$(printf 'k%.0s' $(seq 300)) # past any file system's name limit
  exec 9<> COM1 && flock 9 # the port held as the window holds it, for the first row only
  while read -r status message args; do
    run --baud 19200 $args
    exec 9>&-
    expect "$status" "$args"
    grep -q -- "$message" err || fail "$args: stderr lacks '$message': $(cat err)"
    [ ! -s out ] || fail "$args printed a result on failure: $(cat out)"
  done <<EOF
3 COM1.*in.use.by.another.program read 1
3 does.not.exist --port /nonexistent/tty read 1
1 komora.9:.Brak.komunikacji read 9
1 komora.2:.Brak.potwierdzenia.zapisu restore set.json 2
2 SetTemperature restore range.json 1
2 nie.można.otworzyć restore missing.json 1
2 nie.jest.zwykły.plik,.lecz.potok restore fifo.json 1
2 nie.jest.zwykły.plik,.lecz.urządzenie backup 1 device.json
2 not.a.controller.address read 251
2 ^Usage: read 1 2
2 unknown.command erase 1
2 restore.takes.no.--json restore set.json 1 --json
2 --baud.takes --baud 1200 read 1
2 loop.json:.Too.many.levels.of.symbolic.links serve --chambers loop.json
2 :.File.name.too.long serve --chambers $long.json
2 loop.json:.nie.można.ustalić.pliku.docelowego backup 1 loop.json
EOF
  # A settings file that cannot even be examined is no missing one: every command stops before the port.
  ln -s Torv_LCD.set Torv_LCD.set
  for args in "read 1" "bustest"; do
    run $args
    expect 2 "$args with Torv_LCD.set a link loop"
    grep -q 'Torv_LCD.set: Too many levels of symbolic links' err || fail "$args, the settings loop: $(cat err)"
  done
  rm Torv_LCD.set
  [ "$(frames 0 01)" = "" ] || fail "a refused command sent to controller 1: $(frames 0 01)"

  # Silent after the alarm tick and one ZAPIS row were written and read back:
  # those rows are reported, and nothing else is on stdout.
  sed 's/"SetTemperature": 70/"SetTemperature": 72, "HumidifyPause": "2:00"/' set.json > two.json
  sed 's/"2:00"/"2:00", "AlarmBuzzer": false/' two.json > three.json
  run --baud 19200 restore three.json 4
  expect 1 "restore to a chamber that falls silent"
  [ "$(cat out)" = "$(printf 'komora 4: HumidifyPause: 1:00 → 2:00\nkomora 4: AlarmBuzzer: true → false')" ] \
    || fail "the half-restored chamber: $(cat out)"
  grep -q 'komora 4: Brak' err || fail "the silent chamber is not told: $(cat err)"

  # The file is read once: replaced while chamber 3 is being read, it changes nothing.
  sed 's/70/71/' set.json > first.json
  m=$(mark)
  "$cli" --baud 19200 restore first.json 1 3 > out 2> err &
  restore=$!
  for _ in $(seq 600); do [ -n "$(frames "$m" 03)" ] && break; sleep 0.05; done
  sed 's/70/66/' set.json > second.json && mv second.json first.json
  wait $restore; rc=$?
  expect 0 "restore with its file replaced"
  grep -qx 'komora 3: SetTemperature: 60 → 71' out || fail "the replaced file reached chamber 3: $(cat out)"

  # SIGTERM while a write waits for its echo (the reply waits leave some
  # 400 ms): its read-back is taken, then nothing more.
  m=$(mark)
  "$cli" --baud 19200 restore two.json 3 > out 2> err &
  restore=$!
  for _ in $(seq 1000); do [[ "$(frames "$m" 03)" == *w* ]] && break; sleep 0.02; done
  kill -TERM $restore
  wait $restore; rc=$?
  expect 1 "restore stopped by SIGTERM"
  [ "$(frames "$m" 03)" = "$block""r 60/01 w 75 r 75/02 " ] || fail "restore went on after SIGTERM: $(frames "$m" 03)"
  [ "$(cat out)" = "komora 3: HumidifyPause: 1:00 → 2:00" ] || fail "the stopped restore: $(cat out)"
  grep -q 'stopped by a signal' err || fail "the stop is not told: $(cat err)"
  ;;
log)
  serve --address 1
  m=$(mark); run --baud 19200 log 1 5 --every 1 --count 2 --dir logs
  expect 1 "log with a silent chamber"
  scan="r 68/04 r 7E/02 r A0/08 "
  [ "$(frames "$m" 01)" = "$block$scan$scan" ] || fail "log sent $(frames "$m" 01)"
  [ "$(frames "$m" 05)" = "r 60/08 r 68/04 r 7E/02 r 68/04 r 7E/02 " ] || fail "the silent chamber: $(frames "$m" 05)"
  day=$(ls logs | sed -n 's/^komora-001-\(.*\)\.csv$/\1/p')
  [ "$(cut -d, -f2,17 "logs/komora-001-$day.csv" | tr '\r\n' ' ')" = "address,status  1,ok  1,ok  1,ok  " ] \
    || fail "chamber 1's log: $(cat "logs/komora-001-$day.csv")"
  [ "$(cut -d, -f2- "logs/komora-005-$day.csv" | tail -n 2 | tr -d '\r' | sort -u)" = "5,,,,,,,,,,,,,,,failed" ] \
    || fail "chamber 5's log: $(cat "logs/komora-005-$day.csv")"
  [ "$(ls logs | wc -l)" -eq 2 ] || fail "log files: $(ls logs)"
  grep -q 'komora 5: Brak komunikacji' err || fail "the silent chamber is not reported: $(cat err)"
  # A folder that cannot be made: status 2 before a frame; a missing path is made whole.
  touch plain
  m=$(mark); run --baud 19200 log 1 --count 1 --dir plain/logs
  expect 2 "log into a folder that cannot be made"
  grep -q 'plain/logs' err && [ -z "$(frames "$m" 01)" ] || fail "log --dir plain/logs: $(cat err) $(frames "$m" 01)"
  run --baud 19200 log 1 --count 1 --dir deep/er/logs
  expect 0 "log into a folder made with its parents"
  [ "$(cat deep/er/logs/*.csv | wc -l)" -eq 3 ] || fail "deep/er/logs: $(ls -R deep)"
  # Lines that cannot be written end the run with 1, by --count or by a signal.
  mkdir -p "blocked/komora-001-$(date +%F).csv"
  run --baud 19200 log 1 --count 1 --dir blocked
  expect 1 "log whose lines cannot be written"
  # Emptied first: the run above left the same message there, and the new run
  # may not have opened the file yet when it is first looked at.
  : > err
  "$cli" --baud 19200 log 1 --every 3600 --dir blocked > out 2> err &
  logger=$!
  for _ in $(seq 400); do grep -q 'drying log' err && break; sleep 0.05; done
  kill -TERM $logger
  wait $logger; rc=$?
  expect 1 "log with unwritten lines stopped by SIGTERM"
  # A stop signal ends the wait between rounds: the run ends with the lines
  # it logged, by default under pomiary/.
  "$cli" --baud 19200 log 1 --every 3600 > out 2> err &
  logger=$!
  for _ in $(seq 600); do [ "$(cat pomiary/*.csv 2>/dev/null | wc -l)" -ge 3 ] && break; sleep 0.05; done
  kill -TERM $logger
  wait $logger; rc=$?
  expect 0 "log stopped by SIGTERM"
  [ "$(cat pomiary/*.csv | wc -l)" -eq 3 ] || fail "SIGTERM run logged $(cat pomiary/*.csv)"
  # The line goes away (an adapter pulled) and comes back under the same
  # name: once no chamber answers the port is opened anew, and logging goes on.
  "$cli" --baud 19200 log 1 --every 1 --count 8 --dir pulled > out 2> err &
  logger=$!
  for _ in $(seq 200); do [ "$(cat pulled/*.csv 2>/dev/null | wc -l)" -ge 3 ] && break; sleep 0.05; done
  kill $simpid; wait $simpid 2>/dev/null
  serve --address 1
  wait $logger
  statuses=$(cut -d, -f17 pulled/*.csv | tr -d '\r' | tail -n +2 | uniq | tr '\n' ' ')
  [ "$statuses" = "ok failed ok " ] || fail "a pulled and replugged line logged: $statuses"
  grep -q 'komora 1: answers again' err || fail "the chamber's return is not reported: $(cat err)"
  ;;
readonly)
  # Reading never writes, whatever the alarm byte holds (a tick means any non-zero byte).
  serve --address 2 --byte 2:125=2 --address 5 --byte 5:125=255 --address 6 --byte 6:125=0
  for a in 2 5 6; do
    run --baud 19200 read $a --json
    expect 0 "read $a"
    run --baud 19200 backup $a backup-$a.json
    expect 0 "backup $a"
  done
  run --baud 19200 bustest
  expect 0 "bustest"
  run --baud 19200 log 2 5 6 --every 1 --count 2 --dir logs
  expect 0 "log"
  writes=$(awk '$3 == "in" && $5 == "06"' sim.log)
  [ -z "$writes" ] || fail "reading sent writes: $writes"
  [ "$(grep -c '"AlarmBuzzer": true' backup-2.json backup-5.json backup-6.json | tr '\n' ' ')" \
    = "backup-2.json:1 backup-5.json:1 backup-6.json:0 " ] || fail "the sets' alarm switches: $(grep -h AlarmBuzzer backup-*.json)"
  ;;
serve)
  serve --address 1
  # A silent chamber: three failed scans raise its alarm, then it rests until the fifth round after.
  m=$(mark); run --baud 19200 serve 1 5 --every 1 --count 4 --dir logs
  expect 1 "serve with a silent chamber"
  scan="r 68/04 r 7E/02 r A0/08 "
  [ "$(frames "$m" 01)" = "$block$scan$scan$scan$scan" ] || fail "serve sent $(frames "$m" 01)"
  [ "$(frames "$m" 05)" = "r 60/08 r 68/04 r 7E/02 r 68/04 r 7E/02 r 68/04 r 7E/02 " ] || fail "the silent chamber: $(frames "$m" 05)"
  day=$(ls logs | sed -n 's/^komora-001-\(.*\)\.csv$/\1/p')
  [ "$(tail -n +2 "logs/komora-001-$day.csv" | wc -l)" -eq 5 ] || fail "chamber 1's log: $(cat "logs/komora-001-$day.csv")"
  [ "$(cut -d, -f2- "logs/alarmy-$day.csv" | tr -d '\r')" = "$(printf 'address,kind,event,value\n5,no-communication,raised,3 odczyty bez odpowiedzi')" ] \
    || fail "the alarm log: $(cat "logs/alarmy-$day.csv")"
  grep -q 'komora 5 (Komora 5): alarm: Brak komunikacji' err || fail "the alarm is not told: $(cat err)"
  # The overview's list: its names; a broken list or both kinds of chamber list are refused before a frame.
  printf '{"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 1, "name": "Sosna"}]}' > komory.json
  printf '{"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 0}]}' > broken.json
  m=$(mark); run --baud 19200 serve --chambers broken.json --count 1
  expect 2 "serve with a broken list"
  grep -q 'broken.json: chambers, pozycja 1' err && [ -z "$(frames "$m" 01)" ] || fail "broken list: $(cat err)"
  run --baud 19200 serve --chambers komory.json 1 --count 1
  expect 2 "serve with a list and addresses"
  # A stop signal ends it cleanly, between rounds or in a scan.
  "$cli" --baud 19200 serve --chambers komory.json --dir named > out 2> err &
  server=$!
  for _ in $(seq 600); do [ "$(cat named/komora-001-*.csv 2>/dev/null | wc -l)" -ge 3 ] && break; sleep 0.05; done
  kill -TERM $server
  wait $server; rc=$?
  expect 0 "serve stopped by SIGTERM"
  ;;
metrics)
  serve --address 3
  port=$(free_port)
  "$cli" --baud 19200 serve 3 5 --every 1 --dir logs --metrics "127.0.0.1:$port" > out 2> err &
  server=$!
  for _ in $(seq 300); do
    curl -sf "http://127.0.0.1:$port/metrics" > exposition && grep -q 'torv_chamber_up{address="5"} 0' exposition && break
    sleep 0.1
  done
  promtool check metrics < exposition > promtool.out 2>&1 || fail "promtool: $(cat promtool.out)"
  grep -q 'torv_chamber_up{address="3"} 1' exposition || fail "chamber 3 is not up: $(cat exposition)"
  ! grep -q 'torv_temperature_celsius{address="5"' exposition || fail "a silent chamber has temperatures"
  grep -q 'torv_scans_failed_total{address="5"} [1-9]' exposition || fail "the failed scans are not counted"
  # A real Prometheus scrapes it every second; what it holds is what the service logged.
  pport=$(free_port)
  printf 'global: {scrape_interval: 1s}\nscrape_configs: [{job_name: torv, static_configs: [{targets: ["127.0.0.1:%s"]}]}]\n' \
    "$port" > prometheus.yml
  prometheus --config.file=prometheus.yml --web.listen-address="127.0.0.1:$pport" --storage.tsdb.path=tsdb \
    > prometheus.log 2>&1 &
  prom=$!
  query='torv_temperature_celsius{address="3",sensor="dry"}'
  dry=""
  for _ in $(seq 300); do
    dry=$(curl -sf -G "http://127.0.0.1:$pport/api/v1/query" --data-urlencode "query=$query" 2>/dev/null |
      python3 -c 'import json,sys; r=json.load(sys.stdin)["data"]["result"]; print(r[0]["value"][1] if r else "")' 2>/dev/null)
    [ -n "$dry" ] && break
    sleep 0.2
  done
  kill $prom; wait $prom 2>/dev/null
  kill -TERM $server
  wait $server; rc=$?
  expect 0 "serve with metrics stopped by SIGTERM"
  day=$(ls logs | sed -n 's/^komora-003-\(.*\)\.csv$/\1/p')
  python3 - "$dry" "logs/komora-003-$day.csv" <<'PY' || fail "Prometheus holds T suchy '$dry', not a value the service logged"
import csv, sys
value = float(sys.argv[1])
rows = list(csv.DictReader(open(sys.argv[2], newline="")))
sys.exit(0 if any(r["TempDry"] and abs(float(r["TempDry"]) - value) < 1e-9 for r in rows) else 1)
PY
  ;;
mqtt)
  # Two live chambers and a silent one, published to a real broker that goes away for a few rounds.
  serve --address 3 --address 4
  broker_start
  # The password only from a regular file: one missing, or a FIFO that could block, ends the run before a frame.
  mkfifo pipe
  for file in missing pipe; do
    m=$(mark); run --baud 19200 serve 3 --count 1 --mqtt "mqtt://torv@127.0.0.1:$port" --mqtt-password-file $file
    expect 2 "serve with the password file '$file'"
    [ -z "$(frames "$m" 03)" ] || fail "frames sent before the password file was read"
  done
  mosquitto_sub -p "$port" -t 'torv/test/+/alarm' -q 1 -F '%r	%t	%p' > events &
  listener=$!
  "$cli" --baud 19200 serve 3 4 5 --every 1 --count 30 --dir logs --mqtt "mqtt://127.0.0.1:$port" \
    --mqtt-prefix torv/test --ha-discovery > out 2> err &
  server=$!
  for _ in $(seq 300); do grep -q 'torv/test/5/alarm' events && break; sleep 0.1; done
  retained > first
  python3 - first <<'PY' || fail "the retained messages while running"
import json, sys
msgs = dict(line.rstrip("\n").split("\t", 1) for line in open(sys.argv[1]) if "\t" in line)
errors = []
def check(ok, what):
    if not ok:
        errors.append(what)
check(msgs.get("torv/test/status") == "online", "service status")
for a, state in (("3", "online"), ("4", "online"), ("5", "offline")):
    check(msgs.get(f"torv/test/{a}/availability") == state, f"chamber {a} availability")
check("torv/test/5/state" not in msgs, "a chamber that never answered has a state")
state = json.loads(msgs.get("torv/test/3/state", "{}"))
columns = ["time", "address", "TempDry", "TempWet", "TempControl1", "TempControl2", "Difference", "AutoStep",
           "AutoHoursDone", "AutoHoursTotal", "SetTemperature", "SetDifference", "Heating", "Humidifying", "VentOpen",
           "VentClose", "status"]
check(all(c in state for c in columns + ["name", "estimatedEnd", "relativeHumidity", "equilibriumMoisture"]),
      f"state keys: {sorted(state)}")
check(state.get("name") == "Komora 3" and state.get("address") == 3, "state name/address")
kinds = [a["kind"] for a in json.loads(msgs.get("torv/test/5/alarms", "[]"))]
check(kinds == ["no-communication"], f"chamber 5's active alarms: {kinds}")
configs = {t: json.loads(p) for t, p in msgs.items() if t.startswith("homeassistant/") and t.endswith("/config")}
check(len(configs) == 3 * 16, f"{len(configs)} discovery configs")
ids = [c.get("unique_id") for c in configs.values()]
check(len(set(ids)) == len(ids) and all(ids), "unique_id missing or repeated")
for topic, c in configs.items():
    component, node, obj = topic.split("/")[1:4]
    what = f"{topic}: "
    check(component in ("sensor", "binary_sensor"), what + "component")
    address = c["device"]["identifiers"][0].rsplit("_", 1)[1]
    check(obj.startswith(address + "_"), what + "object id and device differ")
    check(c["device"]["name"] == f"Komora {address}", what + "device name")
    avail = [x["topic"] for x in c["availability"]]
    check("torv/test/status" in avail and c.get("availability_mode") == "all", what + "availability")
    check(c["state_topic"] in (f"torv/test/{address}/state", f"torv/test/{address}/availability"), what + "state_topic")
    if c["state_topic"].endswith("/state") and address == "3":
        key = c["value_template"].removeprefix("{{ value_json.").removesuffix(" }}")
        check(key in state, what + f"reads {key}, not in the state")
    if c.get("device_class") == "temperature":
        check(c.get("state_class") == "measurement" and c.get("unit_of_measurement") == "°C", what + "temperature")
    if component == "binary_sensor":
        check("payload_on" in c and "payload_off" in c, what + "binary payloads")
ends = [c for c in configs.values() if c["unique_id"].endswith("_estimatedEnd")]
check(len(ends) == 3 and all(c.get("device_class") == "timestamp" for c in ends), "estimated end as a timestamp")
for e in errors:
    print("  " + e)
sys.exit(1 if errors else 0)
PY
  grep -q "^0	torv/test/5/alarm	.*\"kind\": *\"no-communication\".*\"event\": *\"raised\"" events \
    || fail "no alarm event for the silent chamber: $(cat events)"
  kill $listener 2>/dev/null
  # The broker goes away for three rounds: the bus and the logs go on.
  log3() { tail -n +2 logs/komora-003-*.csv 2>/dev/null | wc -l; }
  kill -TERM $broker; wait $broker 2>/dev/null
  away=$(log3)
  for _ in $(seq 300); do [ "$(log3)" -ge $((away + 3)) ] && break; sleep 0.1; done
  broker_start
  for _ in $(seq 300); do
    [ "$(mosquitto_sub -p "$port" -t torv/test/status -C 1 -W 1 2>/dev/null)" = online ] && break
    sleep 0.2
  done
  grep -q 'connection lost; trying again' err || fail "the lost broker is not told: $(cat err)"
  wait $server; rc=$?
  expect 1 "serve with a silent chamber, ended by --count"
  # Every round logged (the module read and 30 scans), and the broker holds the last of them and the goodbye.
  for a in 003 004; do
    [ "$(tail -n +2 logs/komora-$a-*.csv | wc -l)" -eq 31 ] || fail "chamber $a's log: $(tail -n +2 logs/komora-$a-*.csv | wc -l) lines"
  done
  retained > last
  [ "$(sed -n 's/^torv\/test\/status\t//p' last)" = offline ] || fail "the service's status at the end: $(grep status last)"
  python3 - last logs/komora-003-*.csv <<'PY' || fail "the state on the broker is not the last one logged"
import csv, json, sys
msgs = dict(line.rstrip("\n").split("\t", 1) for line in open(sys.argv[1]) if "\t" in line)
last = list(csv.DictReader(open(sys.argv[2], newline="")))[-1]
state = json.loads(msgs["torv/test/3/state"])
sys.exit(0 if state["time"] == last["time"] and str(state["TempDry"]) == last["TempDry"] else 1)
PY
  kill -TERM $broker; wait $broker 2>/dev/null
  ;;
retained)
  # What serve leaves retained: nothing live of a chamber taken off the list, and a chamber's
  # alarms back to [] once it answers again.
  serve --address 1 --address 3
  broker_start
  mqtt=(--mqtt "mqtt://127.0.0.1:$port" --mqtt-prefix torv/test --ha-discovery)
  run --baud 19200 serve 1 3 --every 1 --count 2 --dir logs "${mqtt[@]}"
  expect 0 "serve 1 3"
  retained > before
  run --baud 19200 serve 1 --every 1 --count 2 --dir logs "${mqtt[@]}"
  expect 0 "serve 1 after serve 1 3"
  retained > after
  python3 - before after <<'PY' || fail "chamber 3 taken off the list"
import sys
def read(name):
    return dict(line.rstrip("\n").split("\t", 1) for line in open(name) if "\t" in line)
before, after = read(sys.argv[1]), read(sys.argv[2])
def of(msgs, a):
    return {t: p for t, p in msgs.items() if t.startswith(f"torv/test/{a}/") or f"/torv_test/{a}_" in t}
errors = []
if before.get("torv/test/3/availability") != "online" or len(of(before, 3)) != 3 + 16:
    errors.append(f"chamber 3 was not live to begin with: {sorted(of(before, 3))}")
if of(after, 3) and set(of(after, 3).items()) != {("torv/test/3/availability", "offline")}:
    errors.append(f"chamber 3 is left on the broker: {sorted(of(after, 3))}")
if after.get("torv/test/1/availability") != "online" or len(of(after, 1)) != 3 + 16:
    errors.append(f"chamber 1 is not live: {sorted(of(after, 1).items())}")
for e in errors:
    print("  " + e)
sys.exit(1 if errors else 0)
PY
  grep -q 'chamber 3' err || fail "clearing chamber 3 is not told: $(cat err)"
  # The line goes silent for the no-communication threshold, then answers again.
  "$cli" --baud 19200 serve 1 --every 1 --dir logs "${mqtt[@]}" > out 2> err &
  server=$!
  until_retained torv/test/1/availability '^online$' || fail "chamber 1 is not online"
  kill $simpid; wait $simpid 2>/dev/null
  until_retained torv/test/1/alarms 'no-communication' || fail "the silent chamber's alarm is not retained"
  serve --address 1
  until_retained torv/test/1/availability '^online$' || fail "chamber 1 is not online again"
  until_retained torv/test/1/alarms '^\[\]$' || fail "alarms once it answers again: $(retained | grep 1/alarms)"
  kill -TERM $server
  wait $server; rc=$?
  expect 0 "serve stopped by SIGTERM"
  kill -TERM $broker; wait $broker 2>/dev/null
  ;;
reply)
  # The frame rule changes when a reply is taken, nothing else: the same requests and results as the quiet rule.
  serve --address 1 --address 2 --address 3 --address 4 --address 5 --fault 5:silent
  cat > edited.json <<'EOF'
{ "format": "torv-lcd-parameters", "version": 1,
  "parameters": { "SetTemperature": 72, "HumidifyPause": "2:00" },
  "programme": [ {}, {}, { "hours": 5, "temperature": 75, "difference": 15 }, {}, {}, {}, {}, {}, {}, {} ] }
EOF
  for rule in quiet frame; do
    # Each rule gets a chamber of its own to restore: 2 under quiet, 3 under frame.
    target=$([ $rule = quiet ] && echo 2 || echo 3)
    m=$(mark); run --baud 19200 --reply $rule read 1 --json
    expect 0 "read under $rule"
    json_field out "['parameters'], d['programme'], d['baudCode']" > read-$rule
    frames "$m" 01 > read-frames-$rule
    m=$(mark); run --baud 19200 --reply $rule restore edited.json $target
    expect 0 "restore under $rule"
    sed "s/komora $target:/komora N:/" out > restore-$rule
    frames "$m" 0$target > restore-frames-$rule
    m=$(mark); run --baud 19200 --reply $rule log 4 5 --every 1 --count 3 --dir logs-$rule
    expect 1 "log with a silent chamber under $rule"
    frames "$m" 04 > log-frames-$rule
    frames "$m" 05 >> log-frames-$rule
    cut -d, -f2,17 logs-$rule/komora-00[45]-*.csv > log-$rule
  done
  [ "$(cat read-frames-quiet)" = "$block" ] || fail "read sent $(cat read-frames-quiet)"
  grep -q 'HumidifyPause: 1:00 → 2:00' restore-quiet && grep -q 'zestaw w module: tak' restore-quiet \
    || fail "restore under quiet: $(cat restore-quiet)"
  [ "$(grep -c ',failed' log-quiet)" -eq 3 ] || fail "the silent chamber's log: $(cat log-quiet)"
  for what in read read-frames restore restore-frames log log-frames; do
    cmp -s $what-quiet $what-frame || fail "$what differs: quiet $(cat $what-quiet) / frame $(cat $what-frame)"
  done
  ;;
*) echo "unknown group $group"; exit 2 ;;
esac
[ $failed -eq 0 ] && echo "$group: all checks passed"
exit $failed
