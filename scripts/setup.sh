#!/usr/bin/env bash
# Installs what is missing (Debian 12), configures and builds into ./build:
# the targets named as arguments (and what they need), or everything.
# Idempotent: quick when everything is in place and nothing changed.
# usage: setup.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libqcustomplot-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev
  xvfb xauth x11-utils imagemagick
  fonts-dejavu-core fonts-dejavu-extra fonts-liberation
  python3 python3-pymodbus libmodbus-dev mbpoll socat
  clang-14 libclang-rt-14-dev
  dpkg-dev file bash-completion
  prometheus-cpp-dev curl
  libmosquitto-dev mosquitto-clients
  ser2net
  poppler-utils
)
# ser2net's package enables a service of its own (/etc/ser2net.yaml: localhost
# ports 2000, 2001, 3000, 3001 on /dev/ttyS0 and ttyS1). The tests start their
# own ser2net on free ports from the ephemeral range, on the simulator's pty,
# so that service neither takes their ports nor touches their line.
# Tools the tests start on loopback ports of their own: not their recommended
# companions (the prometheus package would bring a node exporter along).
LEAN_PACKAGES=(prometheus mosquitto)

missing=() lean=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
for p in "${LEAN_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || lean+=("$p")
done
if ((${#missing[@]} + ${#lean[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]} ${lean[*]}"
  $SUDO apt-get update -qq
  if ((${#missing[@]})); then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  fi
  if ((${#lean[@]})); then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${lean[@]}"
  fi
fi

BUILD_DIR="${BUILD_DIR:-build}"
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if (($#)); then
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target "$@"
else
  cmake --build "$BUILD_DIR" -j"$(nproc)"
fi
