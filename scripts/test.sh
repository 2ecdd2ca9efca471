#!/usr/bin/env bash
# Set-up, then every test: the normal build, the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, a short run of each fuzz
# target, and the Windows build checked under wine. Every stage runs; the exit
# status is non-zero when any of them failed.
#
# Most of the suite's time is tests waiting on real time (label `waits`, see
# tests/CMakeLists.txt): the normal build's run two to a core; the sanitized
# programs use the CPU several times over, and theirs run one to a core (two
# lost replies). Nothing that keeps the CPU busy runs beside them (a build
# behind them, even at idle priority, made the line tests lose replies), and
# those that need the CPU to themselves (label `quiet`) run alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cores="$(nproc)"
status=0

# One build's tests: the short ones a core each, those that wait PER_CORE to
# a core, then the quiet ones alone. Extra arguments go to each ctest.
run_tests() { # DIR PER_CORE [CTEST ARGS...]
  local dir=$1 per_core=$2
  shift 2
  ctest --test-dir "$dir" --output-on-failure -j"$cores" -LE waits "$@" || status=1
  ctest --test-dir "$dir" --output-on-failure -j$((per_core * cores)) -L waits -LE quiet "$@" || status=1
  ctest --test-dir "$dir" --output-on-failure -L quiet "$@" || status=1
}

run_tests "${BUILD_DIR:-build}" 2

# Sanitized: every test program (not the benchmarks), in its own build directory.
ASAN_DIR="${ASAN_BUILD_DIR:-build-asan}"
if [ ! -f "$ASAN_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$ASAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DTORV_SANITIZE=ON
fi
cmake --build "$ASAN_DIR" -j"$cores"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/cmake/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The package test packs and installs programs; sanitized ones are not for that.
run_tests "$ASAN_DIR" 1 -E '^package_'

# Fuzzing: the libFuzzer harnesses need clang; only they are built here.
FUZZ_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
if [ ! -f "$FUZZ_DIR/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORV_FUZZ=ON
fi
cmake --build "$FUZZ_DIR" -j"$cores" --target fuzzers
ctest --test-dir "$FUZZ_DIR" --output-on-failure -j"$cores" -L fuzz || status=1

# Windows: the cross-build, its zip and installer, and the checks under wine
# against this machine's simulator (one at a time: one wine prefix, one COM1).
# Qt for Windows takes an hour to build from source, so only when it is at hand.
if [ -d "${TORV_QT_WIN:-$HOME/.cache/torv/qt6-mingw-6.4.2}" ] || [ -f "${TORV_QT_WIN_ARCHIVE:-}" ]; then
  if scripts/windows.sh; then
    ctest --test-dir "${WINDOWS_BUILD_DIR:-build-windows}" --output-on-failure -L windows || status=1
  else
    echo "Windows build failed: scripts/windows.sh (its last lines above say where)" >&2
    status=1
  fi
else
  echo "Windows checks skipped: no Qt for Windows (set TORV_QT_WIN_ARCHIVE)"
fi

exit "$status"
