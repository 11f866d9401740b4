#!/usr/bin/env bash
# Builds and runs every test: with g++ (the normal build), with clang++ (the
# two must give the same bytes: both are held to the same reference files),
# with g++ under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets (clang++, libFuzzer, 30 s each; GRIDORB_FUZZ_SECONDS changes it),
# the evaluation's tests under ThreadSanitizer, and gridorb on the bundled
# examples as other processors run it: cross-built for arm64 under
# qemu-aarch64, and the x86-64 build on a processor without AVX2.
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

# ThreadSanitizer: only the test program, and only the tests of the
# evaluation (its helper thread) and of whole runs on real wavefunctions.
echo "=== build-tsan"
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DGRIDORB_STATIC_LINK=OFF -DGRIDORB_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target gridorb_tests
TSAN_OPTIONS="halt_on_error=1" "$root/build-tsan/gridorb/tests/gridorb_tests" \
  --gtest_filter='Evaluator*:*RealWavefunction*' --gtest_brief=1

# gridorb run as given (RUNNER...) on the bundled examples; the console and
# both files must be the reference files' bytes.
compare_examples() {
  local label="$1" failed=0
  shift
  for example in water:4 chloromethane:7; do
    local molecule="${example%:*}" orbital="${example#*:}" scratch
    scratch="$(mktemp -d)"
    cp "$root/examples/$molecule/FOR013" "$scratch/"
    (cd "$scratch" && "$@" "$orbital" >console.txt)
    for file in console.txt TARNEL.COR VELD.VTK; do
      if ! cmp "$scratch/$file" "$root/gridorb/tests/data/$molecule/$file"; then
        echo "$label: $file of $molecule differs from the reference" >&2
        failed=1
      fi
    done
    rm -rf "$scratch"
  done
  ((failed == 0)) && echo "$label: every byte as on the reference files"
  return "$failed"
}

# arm64: the programs alone (no test libraries), cross-built and static.
echo "=== build-arm64"
cmake -S "$root" -B "$root/build-arm64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" -DBUILD_TESTING=OFF -DGRIDORB_PICTURES=OFF >/dev/null
cmake --build "$root/build-arm64" -j "$jobs" --target gridorb
compare_examples "arm64 (qemu-aarch64)" qemu-aarch64 "$root/build-arm64/gridorb/gridorb"
# The program's baseline x86-64 code, which the normal build's tests do not
# reach on a processor with AVX2.
compare_examples "x86-64 without AVX2 (qemu-x86_64 -cpu Nehalem)" \
  qemu-x86_64 -cpu Nehalem "$root/build/gridorb/gridorb"
echo "All builds passed."
