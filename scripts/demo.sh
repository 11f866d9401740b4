#!/usr/bin/env bash
# Builds gridorb and runs it on a bundled wavefunction (water unless named:
# water, chloromethane or benzene) for its highest occupied orbital, and
# writes the same orbital as a cube file. With --gui, brings up the front end
# on the same folder afterwards.
# Usage: bash scripts/demo.sh [--gui] [EXAMPLE]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

mode="" example=water
for argument in "$@"; do
  case "$argument" in
    --gui) mode=--gui ;;
    -*) echo "usage: bash scripts/demo.sh [--gui] [water|chloromethane|benzene]" >&2; exit 2 ;;
    *) example="$argument" ;;
  esac
done
if [[ ! -f "$root/examples/$example/FOR013" ]]; then
  echo "demo.sh: no example named $example (examples/: $(ls "$root/examples" | tr '\n' ' '))" >&2
  exit 2
fi

"$root/scripts/install-deps.sh" ${mode:+"$mode"}

# Configured exactly as the test command configures build/, so that the two
# share one cache and neither forces a rebuild of the other.
log="$root/build/demo-build.log"
mkdir -p "$root/build"
echo "Building gridorb, gridorb-export and the front end (a few minutes the first time; log in build/demo-build.log)"
if ! { cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ &&
       cmake --build "$root/build" --target gridorb gridorb-export launcher frontend_extension; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "demo.sh: the build failed; the whole log is $log" >&2
  exit 1
fi

work="$root/out/$example"
mkdir -p "$work"
cp "$root/examples/$example/FOR013" "$work/FOR013"
cd "$work"
# The HOMO: half the electron count (the third word of record 1), rounded up.
electrons=$(od -An -t d4 -j 12 -N 4 FOR013 | tr -d ' ')
homo=$(((electrons + 1) / 2))

echo
echo "$ gridorb $homo        (in out/$example)"
"$root/build/gridorb/gridorb" "$homo" | tr -d '\r' | tee console.txt
"$root/build/export/gridorb-export" --quiet homo
cube=$(ls orbital-*-homo.cube)

# The contour level in the files' units for an isovalue of 0.05 a.u.: the
# files scale the larger magnitude of the MIN, MAX line to 256.
level=$(awk '/COMPUTED IS/ { a = $(NF-1); b = $NF; if (a < 0) a = -a; if (b < 0) b = -b;
                             printf "%.1f", 0.05 / (a > b ? a : b) * 256 }' console.txt)

cat <<EOF

Orbital $homo (the HOMO) of $example, evaluated on a 51 x 51 x 51 grid, in $work:
  VELD.VTK     the orbital's positive (POS) and negative (NEG) lobes, 0..256 = 0..the largest value
  TARNEL.COR   the atoms (atomic number, x, y, z in Angstrom)
  $cube   the same orbital in atomic units, for the molecular viewers
  console.txt  gridorb's console lines, as shown above

To see it:
  the front end:  bash scripts/demo.sh --gui $example
  ParaView:       paraview $work/VELD.VTK, Apply, then Contour on POS and on NEG at $level (0.05 a.u.)
  PyVista:        python3 -m venv ~/pyvista && ~/pyvista/bin/pip install pyvista   (once)
                  ~/pyvista/bin/python -c 'import pyvista as pv; g = pv.read("$work/VELD.VTK"); p = pv.Plotter(); p.add_mesh(g.contour([$level], scalars="POS"), color="red"); p.add_mesh(g.contour([$level], scalars="NEG"), color="blue"); p.show()'
EOF

if [[ "$mode" == "--gui" ]]; then
  # The launcher starts "wish main.tcl" in its current folder.
  ln -sf "$root/build/launcher/main.tcl" "$work/main.tcl"
  GRIDORB="$root/build/gridorb/gridorb" "$root/build/launcher/launcher"
  echo
  echo "The front end is starting on $work: the HOMO is chosen; press Compute orbital."
fi
