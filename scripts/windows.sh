#!/usr/bin/env bash
# The Windows build: installs what is missing (Debian 12, as root), gets Qt for
# Windows, cross-builds libjpeg-turbo and the project with mingw-w64 into
# build-windows/, bundles the programs with the DLLs they import, and makes the
# zip and the NSIS installer. Idempotent: quick when nothing changed.
#
# Qt for Windows is looked for in TORV_QT_WIN (default ~/.cache/torv/qt6-mingw-6.4.2);
# when missing it is unpacked from TORV_QT_WIN_ARCHIVE (a tar.xz made by
# build_qt below) or, without one, built from Debian's qt6-base source
# (about half an hour on two cores).
set -Eeuo pipefail
# set -e alone would end the script without a word.
trap 'echo "windows.sh: failed (line $LINENO: $BASH_COMMAND)" >&2' ERR
cd "$(dirname "$0")/.."
ROOT=$PWD
CACHE="${TORV_CACHE:-$HOME/.cache/torv}"
QT_WIN="${TORV_QT_WIN:-$CACHE/qt6-mingw-6.4.2}"
OUT="$ROOT/${WINDOWS_BUILD_DIR:-build-windows}"
DEPS="$OUT/deps"
JOBS="$(nproc)"
# The version of the top-level project().
VERSION=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
MINGW_RUNTIME_DIRS=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
# What wine brings of its own is what Windows brings: never bundled.
WINE_SYSTEM_DLLS=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Runs a step and says how long it took.
step() { # NAME COMMAND...
  local name=$1 started
  shift
  started=$(date +%s)
  "$@"
  echo "windows.sh: $name took $(($(date +%s) - started)) s"
}

install_packages() {
  local packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 wine wine64 nsis ser2net
                  dpkg-dev zip xvfb xauth imagemagick cmake ninja-build qt6-base-dev qt6-base-dev-tools)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  fi
}

# A deb-src entry for the archive this machine already uses (same URIs,
# suites and key), when apt-get source cannot fetch yet.
source_entries() { # PACKAGE
  apt-get source --print-uris "$1" >/dev/null 2>&1 && return
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources | sed 's/^Types: deb$/Types: deb-src/' \
      | $SUDO tee /etc/apt/sources.list.d/torv-src.sources >/dev/null
  else
    # One-line entries, as a debootstrapped machine has them.
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      if [ -f "$f" ]; then sed -n 's/^deb\s/deb-src /p' "$f"; fi
    done | $SUDO tee /etc/apt/sources.list.d/torv-src.list >/dev/null
  fi
  $SUDO apt-get update -qq
}

# Debian's source of PACKAGE unpacked (patches applied) as $CACHE/src/DIR.
fetch_source() { # PACKAGE DIR
  [ -d "$CACHE/src/$2" ] && return
  source_entries "$1"
  mkdir -p "$CACHE/src"
  (cd "$CACHE/src" && apt-get source -qq "$1" >/dev/null)
  [ -d "$CACHE/src/$2" ] || { echo "windows.sh: apt-get source $1 did not make $CACHE/src/$2" >&2; exit 1; }
}

# Qt 6.4.2's qtbase for Windows from Debian's qt6-base source, the same
# configure line that made the CI archive; into $QT_WIN.
build_qt() {
  local work="$CACHE/qt6-mingw-build"
  fetch_source qt6-base qt6-base-6.4.2+dfsg
  mkdir -p "$work/build"
  cat > "$work/mingw-toolchain.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $QT_WIN)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
  cd "$work/build"
  # Debian's +dfsg source lacks wintab (and mingw-w64 has no wintab.h): tablet events off.
  "$CACHE/src/qt6-base-6.4.2+dfsg/configure" -prefix "$QT_WIN" -release -shared -qt-host-path /usr \
    -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-zstd -no-pkg-config -no-freetype -no-fontconfig \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-doubleconversion \
    -no-feature-sql -no-feature-network -no-feature-xml -no-feature-concurrent \
    -no-feature-tabletevent -no-feature-androiddeployqt \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw-toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  ninja -j"$JOBS"
  ninja install
  cd "$ROOT"
}

get_qt() {
  [ -f "$QT_WIN/lib/cmake/Qt6/qt.toolchain.cmake" ] && return
  if [ -n "${TORV_QT_WIN_ARCHIVE:-}" ]; then
    mkdir -p "$QT_WIN"
    tar -xJf "$TORV_QT_WIN_ARCHIVE" -C "$QT_WIN"
  else
    build_qt
  fi
  [ -f "$QT_WIN/lib/cmake/Qt6/qt.toolchain.cmake" ] || { echo "windows.sh: no Qt for Windows in $QT_WIN" >&2; exit 1; }
}

get_sources() {
  fetch_source libjpeg-turbo libjpeg-turbo-2.1.5
  fetch_source qcustomplot qcustomplot-2.1.0+dfsg1
}

# libjpeg-turbo, static, into $DEPS: the window decodes its pictures with the
# library's own code, as on Linux. Without SIMD (no assembler needed): the
# accurate integer decoding the window uses gives the same pixels either way.
build_libjpeg() {
  [ -f "$DEPS/lib/libjpeg.a" ] && return
  cmake -S "$CACHE/src/libjpeg-turbo-2.1.5" -B "$OUT/libjpeg-turbo" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=OFF -DWITH_JPEG8=OFF -DCMAKE_C_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
  cmake --build "$OUT/libjpeg-turbo" -j"$JOBS" --target install >/dev/null
}

build_project() {
  # -O2 as on Linux (GCC 12 at -O3 warns falsely about std::string copies).
  cmake -S . -B "$OUT" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$QT_WIN/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DTORV_QT_WIN="$QT_WIN" -DTORV_WIN_DEPS="$DEPS" \
    -DTORV_QCUSTOMPLOT_SOURCE="$CACHE/src/qcustomplot-2.1.0+dfsg1" \
    -DTORV_LINUX_BUILD="$ROOT/${BUILD_DIR:-build}" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" \
    -DCMAKE_C_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
  cmake --build "$OUT" -j"$JOBS"
}

# The folder of DLL $1 imports, or nothing for one Windows brings.
resolve_dll() { # NAME
  local dir
  for dir in "$QT_WIN/bin" "${MINGW_RUNTIME_DIRS[@]}" "$DEPS/bin"; do
    [ -f "$dir/$1" ] && { echo "$dir/$1"; return; }
  done
  [ -f "$WINE_SYSTEM_DLLS/${1,,}" ] && return
  # API sets: names the Windows loader maps onto its own DLLs.
  [[ "${1,,}" == api-ms-win-* || "${1,,}" == ext-ms-* ]] && return
  echo "windows.sh: $1 is neither bundled nor part of Windows" >&2
  exit 1
}

# Copies into $1 every DLL the given programs and plugins import, and those
# DLLs' imports in turn.
bundle_imports() { # DIR PE...
  local dir=$1 name path
  shift
  local queue=("$@")
  declare -A seen=()
  while ((${#queue[@]})); do
    local pe=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r name; do
      [ -n "${seen[${name,,}]:-}" ] && continue
      seen[${name,,}]=1
      path=$(resolve_dll "$name")
      [ -n "$path" ] || continue
      cp -u "$path" "$dir/"
      queue+=("$path")
    done < <(x86_64-w64-mingw32-objdump -p "$pe" | sed -n 's/^\s*DLL Name: //p')
  done
}

bundle() {
  local name="torv-tester-$VERSION-win64" plugin
  local dir="$OUT/$name"
  rm -rf "$dir"
  mkdir -p "$dir/examples"
  cp "$OUT/app/torv-tester.exe" "$OUT/cli/torv-cli.exe" "$OUT/cli/torv-cli-report.exe" "$dir/"
  # The plugins where Qt looks beside the program, as windeployqt lays them out.
  for plugin in platforms/qwindows.dll styles/*.dll imageformats/*.dll; do
    for path in "$QT_WIN"/plugins/$plugin; do
      mkdir -p "$dir/$(basename "$(dirname "$path")")"
      cp "$path" "$dir/$(basename "$(dirname "$path")")/"
    done
  done
  bundle_imports "$dir" "$dir"/*.exe "$dir"/*/*.dll
  x86_64-w64-mingw32-strip "$dir"/*.exe "$dir"/*.dll "$dir"/*/*.dll
  sed 's/$/\r/' README.md > "$dir/README.txt"
  sed 's/$/\r/' LICENSE > "$dir/LICENSE.txt"
  cp packaging/windows/examples/* "$dir/examples/"
  (cd "$OUT" && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
  echo "windows.sh: $OUT/$name.zip"
}

installer() {
  makensis -V2 -DVERSION="$VERSION" -DSOURCE="$ROOT" -DBUNDLE="$OUT/torv-tester-$VERSION-win64" \
    -DOUTFILE="$OUT/torv-tester-$VERSION-setup.exe" packaging/windows/torv-tester.nsi
  echo "windows.sh: $OUT/torv-tester-$VERSION-setup.exe"
}

# Named steps only (e.g. `windows.sh build_project bundle`), or all of them.
if (($#)); then
  mkdir -p "$OUT"
  for f in "$@"; do step "$f" "$f"; done
  exit 0
fi
started=$(date +%s)
step "packages" install_packages
step "Qt for Windows" get_qt
step "sources" get_sources
mkdir -p "$OUT"
step "libjpeg-turbo" build_libjpeg
step "cross-build" build_project
step "bundle and zip" bundle
step "installer" installer
echo "windows.sh: done in $(($(date +%s) - started)) s"
