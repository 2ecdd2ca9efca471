#!/usr/bin/env bash
# A wine prefix of the Windows tests' own, made once: 64-bit, reporting
# Windows 10 (a new prefix says Windows 7), its COM1 the link PREFIX/com1-line,
# which each test points at its simulator's pseudo-terminal. (Wine remakes
# dosdevices/com1 at every start from this setting, /dev/ttyS0 without it.)
# Reused while its mark is there.
# usage: wine_prefix.sh PREFIX
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$prefix/.torv-ready" ] && exit 0
rm -rf "$prefix"
mkdir -p "$prefix"
wineboot -i 2>/dev/null
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$prefix/com1-line" /f >/dev/null 2>&1
wineserver -w
grep -q '"Version"="win10"' "$prefix/user.reg" || { echo "the prefix does not report Windows 10"; exit 1; }
touch "$prefix/.torv-ready"
