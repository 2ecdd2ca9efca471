#!/usr/bin/env bash
# Set-up, then every test: the normal build, the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of each fuzz
# target. Every stage runs; the exit status is non-zero when any of them failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"
status=0

ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$jobs" || status=1

# Sanitized: every test program (not the benchmarks), in its own build directory.
ASAN_DIR="${ASAN_BUILD_DIR:-build-asan}"
if [ ! -f "$ASAN_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$ASAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DTORV_SANITIZE=ON
fi
cmake --build "$ASAN_DIR" -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/cmake/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The package test packs and installs programs; sanitized ones are not for that.
ctest --test-dir "$ASAN_DIR" --output-on-failure -j"$jobs" -E '^package_' || status=1

# Fuzzing: the libFuzzer harnesses need clang; only they are built here.
FUZZ_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
if [ ! -f "$FUZZ_DIR/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORV_FUZZ=ON
fi
cmake --build "$FUZZ_DIR" -j"$jobs" --target fuzzers
ctest --test-dir "$FUZZ_DIR" --output-on-failure -j"$jobs" -L fuzz || status=1

exit "$status"
