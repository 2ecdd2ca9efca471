#!/bin/sh
# usage: screenshot.sh PROGRAM OUT.png -- run under xvfb-run.
# Starts the window, waits until it is mapped, saves it as a picture, stops it.
set -u
# In a directory of its own: the program reads its settings and ports there.
cd "$(mktemp -d /tmp/torv-shot-XXXXXX)" || exit 1
# On the X server, whatever platform the caller exported (offscreen is common on CI).
QT_QPA_PLATFORM=xcb "$1" &
pid=$!
id=""
tries=0
while [ -z "$id" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Tester TORV-LCD/ { print $1; exit }')
done
status=1
if [ -n "$id" ]; then
    sleep 1 # let the first paint and the start-up finish
    import -window "$id" "$2" && status=0
else
    echo "the window did not appear" >&2
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
