#!/usr/bin/env bash
# Runs one fuzz target over its seeds for a number of seconds, or with
# "replay" executes every seed once. Fails on a crash, a sanitizer report, a
# broken property, a timeout or an exceeded memory limit.
#   run_fuzzer.sh FUZZER WORK_FOLDER SECONDS|replay [libFuzzer flags] -- SEED_FOLDER...
# GRIDORB_FUZZ_SECONDS in the environment overrides SECONDS.
set -uo pipefail
fuzzer="$1" work="$2" budget="$3"
shift 3
flags=()
while [[ $# -gt 0 && "$1" != "--" ]]; do flags+=("$1"); shift; done
[[ $# -gt 0 ]] && shift

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
if [[ "$budget" == replay ]]; then
  flags+=(-runs=0)
else
  flags+=(-max_total_time="${GRIDORB_FUZZ_SECONDS:-$budget}" -print_final_stats=1)
fi
# New inputs go into the work folder's corpus; the seed folders are only read.
"$fuzzer" -artifact_prefix="$work/artifacts/" "${flags[@]}" "$work/corpus" "$@" >"$work/log" 2>&1
status=$?
cat "$work/log"
if [[ $status -ne 0 ]] || grep -qE "runtime error|ERROR: (Address|Leak|Undefined)|ERROR: libFuzzer|property broken" "$work/log"; then
  echo "run_fuzzer.sh: $(basename "$fuzzer") failed (status $status); inputs kept in $work/artifacts" >&2
  exit 1
fi
