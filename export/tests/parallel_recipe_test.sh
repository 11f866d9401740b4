#!/usr/bin/env bash
# Runs the README's GNU parallel recipe, as written there, over a tree of
# three folders holding a FOR013 (one name with a blank), with the built
# gridorb-export first on the search path; each folder must get its four
# frontier cubes and nothing else.
# Usage: parallel_recipe_test.sh README EXPORT_DIR EXAMPLES BENCHMARK_DATA
set -euo pipefail
readme="$1"; export_dir="$2"; examples="$3"; data="$4"
if ! command -v parallel >/dev/null; then
  echo "GNU parallel is not installed (Debian package parallel)"
  [[ "${CI:-}" == "true" ]] && exit 1
  exit 77
fi
recipe=$(grep -m1 '^find \. -name FOR013 .*| parallel .*gridorb-export' "$readme") || {
  echo "FAIL: no GNU parallel recipe in $readme"; exit 1; }
echo "recipe: $recipe"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/water" "$work/tree/chloro methane" "$work/tree/long/c16f34"
cp "$examples/water/FOR013" "$work/tree/water/"
cp "$examples/chloromethane/FOR013" "$work/tree/chloro methane/"
cp "$data/perfluorohexadecane/FOR013" "$work/tree/long/c16f34/"
(cd "$work/tree" && PATH="$export_dir:$PATH" bash -c "$recipe")
failures=0
check() {
  local folder="$1" expected="$2" actual
  actual=$(cd "$work/tree/$folder" && ls | tr '\n' ' ')
  if [[ "$actual" != "$expected" ]]; then
    echo "FAIL: $folder holds: $actual; expected: $expected"
    failures=$((failures + 1))
  fi
}
check water "FOR013 orbital-003-homo-1.cube orbital-004-homo.cube orbital-005-lumo.cube orbital-006-lumo+1.cube "
check "chloro methane" "FOR013 orbital-006-homo-1.cube orbital-007-homo.cube orbital-008-lumo.cube orbital-009-lumo+1.cube "
check long/c16f34 "FOR013 orbital-150-homo-1.cube orbital-151-homo.cube orbital-152-lumo.cube orbital-153-lumo+1.cube "
[[ $failures -eq 0 ]] && echo "the recipe exported every folder"
exit $failures
