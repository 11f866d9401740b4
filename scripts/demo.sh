#!/usr/bin/env bash
# Builds gridorb and runs it on the bundled water wavefunction, for its
# highest occupied orbital (number 4 of 6). With --gui, brings up the front
# end on the same folder afterwards.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

mode="${1:-}"
"$root/scripts/install-deps.sh" ${mode:+"$mode"}

# Configured exactly as the test command configures build/, so that the two
# share one cache and neither forces a rebuild of the other.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$root/build" --target gridorb launcher

work="$root/out/water"
mkdir -p "$work"
cp "$root/examples/water/FOR013" "$work/FOR013"
cd "$work"
"$root/build/gridorb/gridorb" 4

echo
echo "Orbital 4 (the highest occupied orbital) of water, evaluated on a 51 x 51 x 51 grid:"
echo "  volume file: $work/VELD.VTK"
echo "  atom list:   $work/TARNEL.COR"
echo "Open VELD.VTK in ParaView (File > Open, then Contour on POS and NEG),"
echo "or in Python with PyVista: pyvista.read('$work/VELD.VTK').contour([64]).plot()"

if [[ "$mode" == "--gui" ]]; then
  # The launcher starts "wish main.tcl" in its current folder.
  ln -sf "$root/build/launcher/main.tcl" "$work/main.tcl"
  GRIDORB="$root/build/gridorb/gridorb" "$root/build/launcher/launcher"
  echo
  echo "The front end is starting on $work: pick an orbital and press Compute orbital."
fi
