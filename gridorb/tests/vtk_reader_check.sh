#!/usr/bin/env bash
# Runs gridorb on a bundled wavefunction and reads its VELD.VTK with VTK's
# legacy reader (Debian's python3-vtk9, which belongs to /usr/bin/python3).
set -euo pipefail
gridorb="$1"; probe="$2"; for013="$3"; orbital="$4"; checker="$5"
if ! /usr/bin/python3 -c "import vtk, numpy" 2>/dev/null; then
  echo "python3-vtk9 is not installed for /usr/bin/python3"
  # The test command installs it: in CI a missing reader is a failure.
  [[ "${CI:-}" == "true" ]] && exit 1
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$for013" "$work/FOR013"
cd "$work"
"$gridorb" "$orbital" >/dev/null
"$probe" "$orbital" probe.raw >/dev/null
/usr/bin/python3 "$checker" VELD.VTK probe.raw
