#!/usr/bin/env bash
# Builds and runs every test: with g++ (the normal build), with clang++ (the
# two must give the same bytes: both are held to the same reference files),
# with g++ under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets (clang++, libFuzzer, 30 s each; GRIDORB_FUZZ_SECONDS changes it),
# the evaluation's tests under ThreadSanitizer, and gridorb on the bundled
# examples as other processors run it: cross-built for arm64 under
# qemu-aarch64, and the x86-64 build on a processor without AVX2.
#
# Each build writes its compiler and test output to logs in its own folder
# (build.log, test.log); the console gets one summary line per build, and a
# failure in full. Every build runs even when an earlier one failed; the last
# line counts the checks of all of them: "N passed, M failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --test || exit 1

jobs="${GRIDORB_JOBS:-$(nproc)}"
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

total_passed=0
total_failed=0
summary=()

# Adds a build's counts to the totals and to the closing summary.
tally() {
  local dir="$1" passed="$2" failed="$3"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  summary+=("$(printf '%-14s %d passed, %d failed' "$dir" "$passed" "$failed")")
  printf '%s: %d passed, %d failed\n' "$dir" "$passed" "$failed"
}

# Configures and builds DIR quietly (cmake arguments, then --target ...
# if any); on failure prints the log's tail. Compiler warnings are shown.
build_quietly() {
  local dir="$1"
  shift
  local configure=() targets=()
  while (($#)) && [[ "$1" != --target ]]; do configure+=("$1"); shift; done
  (($#)) && targets=("$@")
  local log="$root/$dir/build.log"
  mkdir -p "$root/$dir"
  echo "=== $dir (building; log in $dir/build.log)"
  if ! { cmake -S "$root" -B "$root/$dir" -G Ninja "${configure[@]}" &&
         cmake --build "$root/$dir" -j "$jobs" "${targets[@]}"; } >"$log" 2>&1; then
    echo "$dir: the build failed; the end of $log:"
    tail -n 40 "$log"
    return 1
  fi
  if grep -q 'warning:' "$log"; then
    echo "$dir: compiler warnings:"
    grep -A3 'warning:' "$log" | head -n 40
  fi
}

# Runs DIR's tests; prints the failures in full and ctest's summary line.
run_ctest() {
  local dir="$1" log="$root/$1/test.log"
  ctest --test-dir "$root/$dir" -j "$jobs" --timeout 600 --output-on-failure >"$log" 2>&1
  local status=$?
  # Everything but the lines of tests that started and passed.
  grep -v -E '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +[0-9.]+ sec$|^$' "$log" |
    grep -v -E '^(Test project |Internal ctest changing|Total Test time|Label Time Summary:|[a-z]+ += +[0-9.]+ sec)' || true
  local line passed=0 failed=0
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ "$line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=${BASH_REMATCH[1]}
    passed=$((BASH_REMATCH[2] - failed))
  elif ((status != 0)); then
    failed=1
  fi
  tally "$dir" "$passed" "$failed"
}

suite() {
  local dir="$1"
  shift
  if build_quietly "$dir" "$@"; then
    run_ctest "$dir"
  else
    tally "$dir" 0 1
  fi
}

suite build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
suite build-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++
suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DGRIDORB_SANITIZE=ON
suite build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DGRIDORB_FUZZ=ON

# ThreadSanitizer: only the test program, and only the tests of the
# evaluation (its helper thread) and of whole runs on real wavefunctions.
if build_quietly build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
    -DGRIDORB_STATIC_LINK=OFF -DGRIDORB_BENCHMARKS=OFF --target gridorb_tests; then
  log="$root/build-tsan/test.log"
  TSAN_OPTIONS="halt_on_error=1" "$root/build-tsan/gridorb/tests/gridorb_tests" \
    --gtest_filter='Evaluator*:*RealWavefunction*' --gtest_brief=1 >"$log" 2>&1
  status=$?
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log")
  failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$log")
  passed=${passed:-0}
  failed=${failed:-0}
  if ((status != 0)); then
    cat "$log"
    ((failed == 0)) && failed=1
  fi
  tally build-tsan "$passed" "$failed"
else
  tally build-tsan 0 1
fi

# gridorb run as given (RUNNER...) on the bundled examples; the console and
# both files must be the reference files' bytes. One check per example.
compare_examples() {
  local label="$1" passed=0 failed=0
  shift
  for example in water:4 chloromethane:7; do
    local molecule="${example%:*}" orbital="${example#*:}" scratch same=1
    scratch="$(mktemp -d)"
    cp "$root/examples/$molecule/FOR013" "$scratch/"
    (cd "$scratch" && "$@" "$orbital" >console.txt 2>errors.txt) || same=0
    for file in console.txt TARNEL.COR VELD.VTK; do
      if ! cmp -s "$scratch/$file" "$root/gridorb/tests/data/$molecule/$file"; then
        echo "$label: $file of $molecule differs from the reference" >&2
        same=0
      fi
    done
    ((same)) && passed=$((passed + 1)) || failed=$((failed + 1))
    rm -rf "$scratch"
  done
  tally "$label" "$passed" "$failed"
}

# arm64: the programs alone (no test libraries), cross-built and static.
if build_quietly build-arm64 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" -DBUILD_TESTING=OFF \
    -DGRIDORB_PICTURES=OFF --target gridorb; then
  compare_examples build-arm64 qemu-aarch64 "$root/build-arm64/gridorb/gridorb"
else
  tally build-arm64 0 1
fi
# The program's baseline x86-64 code, which the normal build's tests do not
# reach on a processor with AVX2 (qemu-x86_64 -cpu Nehalem).
if [[ -x "$root/build/gridorb/gridorb" ]]; then
  compare_examples no-avx2 qemu-x86_64 -cpu Nehalem "$root/build/gridorb/gridorb"
else
  tally no-avx2 0 1
fi

echo
echo "Logs: build*/build.log and build*/test.log. Pictures the tests leave: the front end's screenshots"
echo "in build/launcher/tests/artefacts/<test>/, the picture library's PNGs in build/picture/tests/scratch/."
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
((total_failed == 0))
