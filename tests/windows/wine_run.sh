#!/usr/bin/env bash
# Runs a Windows program under wine in the tests' prefix, without wine's own chatter.
# usage: wine_run.sh PREFIX PROGRAM [ARGS...]
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
exec wine "$@"
