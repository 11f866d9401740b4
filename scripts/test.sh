#!/usr/bin/env bash
# Builds and runs every test: with g++ (the normal build), with clang++ (the
# two must give the same bytes: both are held to the same reference files),
# with g++ under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# fuzz targets (clang++, libFuzzer, 30 s each; GRIDORB_FUZZ_SECONDS changes it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --test

jobs="${GRIDORB_JOBS:-$(nproc)}"
export CTEST_OUTPUT_ON_FAILURE=1
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run_suite() {
  local dir="$1"
  shift
  echo "=== $dir"
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/$dir" -j "$jobs"
  ctest --test-dir "$root/$dir" -j "$jobs" --timeout 600
}

run_suite build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
run_suite build-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++
run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DGRIDORB_SANITIZE=ON
run_suite build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DGRIDORB_FUZZ=ON
echo "All four builds passed."
