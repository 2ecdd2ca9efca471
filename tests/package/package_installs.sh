#!/usr/bin/env bash
# The Debian package: cpack builds it, its Depends name the Qt 6 widgets,
# QCustomPlot and libjpeg runtime packages and are satisfied here, it
# carries the programs, the desktop entry and the icons, torv-cli's manual
# page, completion and service and telemetry examples, and the installed
# tool starts against the installed simulator and stays up; torv-cli is
# refused the port the tool holds, and reads the controller once the tool
# has ended. Installs system-wide only when CI=true (a throw-away machine);
# elsewhere the package is unpacked into a temporary root and run from there.
# usage: package_installs.sh CPACK CPACK_CONFIG
set -u
cpack=$1 config=$2
work=$(mktemp -d /tmp/torv-package-XXXXXX)
simpid="" apppid="" installed=""
cleanup() {
  [ -n "$apppid" ] && kill "$apppid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  [ -n "$installed" ] && dpkg -r torv-tester >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Builds the package into the temporary directory, so the build tree only
# gets cpack's own staging files.
"$cpack" -G DEB --config "$config" -B "$work/out" > "$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack did not build the package"; }
deb=$(ls "$work"/out/torv-tester_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { cat "$work/cpack.log"; fail "no torv-tester .deb in cpack's output"; }
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Each Depends entry as a bare package name, one per line (alternatives too).
names=$(printf '%s\n' "$depends" | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/[[:space:]]//g' | grep -v '^$')
# The faces the window's captions are laid out in (app/fonts.cpp) are loaded by name.
for needed in 'libqt6widgets6' libqcustomplot2.1-qt6 'libjpeg62-turbo|libjpeg8|libjpeg-turbo8' fonts-liberation fonts-dejavu-core fonts-dejavu-extra; do
  printf '%s\n' "$names" | grep -Eqx "$needed" || fail "Depends lacks a runtime package matching $needed"
done
# Development packages are build dependencies; a runtime Depends on one is a mistake.
if printf '%s\n' "$names" | grep -E -- '-dev$'; then fail "Depends names development packages"; fi

# Every dependency must be satisfied by what is installed here, version included.
unmet=""
while IFS= read -r entry; do
  ok=no
  IFS='|' read -ra alternatives <<<"$entry"
  for alt in "${alternatives[@]}"; do
    name=$(sed -e 's/(.*)//' -e 's/[[:space:]]//g' <<<"$alt")
    constraint=$(sed -n 's/.*(\(.*\)).*/\1/p' <<<"$alt")
    version=$(dpkg-query -W -f='${Status} ${Version}' "$name" 2>/dev/null | sed -n 's/^install ok installed //p')
    [ -n "$version" ] || continue
    if [ -n "$constraint" ]; then
      read -r op wanted <<<"$constraint"
      dpkg --compare-versions "$version" "$op" "$wanted" || continue
    fi
    ok=yes
    break
  done
  [ $ok = yes ] || unmet="$unmet [$entry]"
done < <(printf '%s\n' "$depends" | tr ',' '\n')
[ -z "$unmet" ] || fail "dependencies not installed here:$unmet"

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/torv-tester ./usr/bin/torv-sim ./usr/share/applications/torv-tester.desktop \
            ./usr/share/icons/hicolor/32x32/apps/torv-tester.png ./usr/share/icons/hicolor/256x256/apps/torv-tester.png \
            ./usr/bin/torv-cli ./usr/libexec/torv-tester/torv-cli-report ./usr/share/man/man1/torv-cli.1.gz ./usr/share/bash-completion/completions/torv-cli \
            ./usr/share/doc/torv-tester/examples/torv-cli-log.service \
            ./usr/share/doc/torv-tester/examples/torv-cli-serve.service \
            ./usr/share/doc/torv-tester/examples/torv-cli-serve@.service \
            ./usr/share/doc/torv-tester/examples/serve-hala1.env \
            ./usr/share/doc/torv-tester/examples/prometheus-torv.yml \
            ./usr/share/doc/torv-tester/examples/grafana/torv-dashboard.json \
            ./usr/share/doc/torv-tester/examples/mosquitto-torv.acl \
            ./usr/share/doc/torv-tester/copyright; do
  printf '%s\n' "$contents" | grep -qx -- "$path" || fail "the package lacks $path"
done
# The licence the package says it is under, in the machine-readable form.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/torv-tester/copyright | grep -qx 'License: GPL-3.0-or-later' \
  || fail "the package's copyright file does not name GPL-3.0-or-later"

if [ "${CI:-}" = true ]; then
  dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
  installed=yes
  root=""
else
  dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
  root="$work/root"
fi
tester="$root/usr/bin/torv-tester" sim="$root/usr/bin/torv-sim" cli="$root/usr/bin/torv-cli"
for program in "$tester" "$sim" "$cli" "$root/usr/libexec/torv-tester/torv-cli-report"; do
  [ -x "$program" ] || fail "$program is not an executable"
  # An installed program must not look for libraries in the build tree.
  if readelf -d "$program" | grep -E 'R(UN)?PATH'; then fail "$program carries a library search path"; fi
done
grep -qx 'Exec=torv-tester' "$root/usr/share/applications/torv-tester.desktop" || fail "desktop entry does not start torv-tester"
grep -qx 'Icon=torv-tester' "$root/usr/share/applications/torv-tester.desktop" || fail "desktop entry names another icon"
if readelf -d "$cli" | grep -E 'NEEDED.*libQt6(Widgets|Gui)'; then fail "torv-cli needs the widget toolkit"; fi
gzip -dc "$root/usr/share/man/man1/torv-cli.1.gz" | grep -q '^\.TH TORV-CLI 1' || fail "torv-cli.1 is no manual page"
if [ -f /usr/share/bash-completion/bash_completion ]; then
  commands=$(bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"
    COMP_WORDS=(torv-cli ""); COMP_CWORD=1; _torv_cli; echo "${COMPREPLY[*]}"' _ \
    "$root/usr/share/bash-completion/completions/torv-cli")
  [ "$commands" = "read bustest backup restore log report serve" ] || fail "completion offers '$commands' for a command"
fi

# The installed tool against the installed simulator, in a working directory
# holding the settings (COM1, 9600 baud, no parity, address 1).
run="$work/run"
mkdir -p "$run"
cd "$run" || fail "no working directory"
printf '\x00\x01\x01\x00\x00\x00\x02\x00' > Torv_LCD.set
"$sim" --address 1 --trace > sim.log 2>&1 &
simpid=$!
for _ in $(seq 100); do grep -q '^ready' sim.log && break; sleep 0.05; done
grep -q '^ready' sim.log || { cat sim.log; fail "the installed simulator did not start"; }

QT_QPA_PLATFORM=offscreen "$tester" > tester.log 2>&1 &
apppid=$!
# Start-up reads the controller: its first read asks for the memory window's
# start. A loaded machine may take a while; the wait ends as soon as it shows.
for _ in $(seq 300); do
  grep -q 'in  01 03 00 60 00 08' sim.log && break
  kill -0 "$apppid" 2>/dev/null || break
  sleep 0.1
done
sleep 3
if ! kill -0 "$apppid" 2>/dev/null; then
  wait "$apppid"; echo "exit status $?"; cat tester.log; fail "the installed tool did not stay up"
fi
grep -q 'in  01 03 00 60 00 08' sim.log || { tail -20 sim.log; cat tester.log; fail "the installed tool did not read the controller"; }
echo "the installed tool is up and reading the controller"

"$cli" read 1 > cli.out 2> cli.err
status=$?
[ $status -eq 3 ] && grep -q 'in use' cli.err && [ ! -s cli.out ] \
  || fail "torv-cli beside the tool: status $status, $(cat cli.err cli.out)"
kill "$apppid"; wait "$apppid" 2>/dev/null; apppid=""
"$cli" read 1 --json > cli.out 2> cli.err || fail "the installed torv-cli did not read: $(cat cli.err)"
grep -q '"address": 1,' cli.out || fail "torv-cli read printed $(cat cli.out)"
echo "the installed torv-cli is refused the tool's port and reads the controller after it"

# The report: torv-cli finds its own program where the package puts it, without a display.
mkdir -p report/pomiary
{
  printf 'time,address,TempDry,TempWet,TempControl1,TempControl2,Difference,AutoStep,AutoHoursDone,AutoHoursTotal,'
  printf 'SetTemperature,SetDifference,Heating,Humidifying,VentOpen,VentClose,status\r\n'
  for minute in 00 01 02 03; do
    printf '2026-12-08T10:%s:00+01:00,1,60.0,50.0,,,10.00,%s,0,8,60,8,1,0,0,1,ok\r\n' $minute $([ $minute = 03 ] && echo 0 || echo 1)
  done
} > report/pomiary/komora-001-2026-12-08.csv
(cd report && DISPLAY= "$cli" report 1 --out r.pdf > ../cli.out 2> ../cli.err) || fail "the installed torv-cli report: $(cat cli.err)"
[ "$(head -c 5 report/r.pdf)" = "%PDF-" ] || fail "the installed torv-cli report wrote no PDF"
echo "the installed torv-cli writes a charge report"
exit 0
