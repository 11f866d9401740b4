#!/usr/bin/env bash
# Writes one orbital's cube with gridorb-export and reads it with ASE's cube
# reader (Debian's python3-ase, which belongs to /usr/bin/python3).
# Usage: ase_cube_check.sh EXPORT PROBE CHECKER FOLDER ORBITAL POINTS MARGIN
set -euo pipefail
export_binary="$1"; probe="$2"; checker="$3"; folder="$4"; orbital="$5"; points="$6"; margin="$7"
if ! /usr/bin/python3 -c "import ase, numpy" 2>/dev/null; then
  echo "python3-ase is not installed for /usr/bin/python3"
  [[ "${CI:-}" == "true" ]] && exit 1
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$folder/FOR013" "$work/FOR013"
"$export_binary" --quiet -C "$work" --points "$points" --margin "$margin" "$orbital"
"$probe" "$work" "$points" "$margin" "$orbital" "$work/probe.raw"
/usr/bin/python3 "$checker" "$work"/orbital-*.cube "$work/probe.raw"
