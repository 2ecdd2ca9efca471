#!/usr/bin/env bash
# Runs a Windows program under wine in the tests' prefix, without wine's own
# chatter. --dlls names the Linux folders of the DLLs a program of the build
# tree needs (the bundled ones have theirs beside them).
# usage: wine_run.sh PREFIX [--dlls DIR:DIR...] PROGRAM [ARGS...]
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
if [ "${1:-}" = --dlls ]; then
  WINEPATH=$(IFS=:; for d in $2; do printf 'Z:%s;' "${d//\//\\}"; done)
  export WINEPATH
  shift 2
fi
exec wine "$@"
