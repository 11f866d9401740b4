"""Reads a cube file of gridorb-export with ASE's cube reader and checks it
against the volume the program holds in memory (cube_probe's raw file):
atoms, origin, axes, and every value to its printed digits; on gridorb's own
grid the values are also gridorb's signedVolume to those digits.
Usage: ase_cube_check.py CUBE PROBE_RAW"""
import sys

import numpy as np
from ase.io.cube import read_cube
from ase.units import Bohr


def main(cube_path, probe_path):
    raw = open(probe_path, "rb").read()
    points, natoms = np.frombuffer(raw, "<i4", 2)
    at = 8
    def take(dtype, count):
        nonlocal at
        values = np.frombuffer(raw, dtype, count, at)
        at += 4 * count
        return values
    origin = take("<f4", 3).astype(float)
    spacing = take("<f4", 3).astype(float)
    numbers = take("<i4", natoms)
    positions = take("<f4", 3 * natoms).astype(float).reshape(natoms, 3)
    n3 = points ** 3
    # x fastest in memory: [iz, iy, ix] -> [ix, iy, iz]
    values = take("<f4", n3).reshape(points, points, points).transpose(2, 1, 0)
    core = take("<f4", n3).reshape(points, points, points).transpose(2, 1, 0) if at < len(raw) else None

    with open(cube_path) as f:
        cube = read_cube(f)
    atoms, data = cube["atoms"], cube["data"]
    failures = []
    def check(ok, what):
        if not ok:
            failures.append(what)

    check(list(atoms.numbers) == list(numbers), "atomic numbers %s, expected %s" % (atoms.numbers, numbers))
    check(np.allclose(atoms.positions / Bohr, positions, rtol=0, atol=1e-6), "atom positions")
    check(np.allclose(cube["origin"] / Bohr, origin, rtol=0, atol=1e-6), "origin %s" % cube["origin"])
    cell = atoms.cell[:] / (points * Bohr)
    check(np.allclose(np.diag(cell), spacing, rtol=0, atol=1e-6), "steps %s, expected %s" % (np.diag(cell), spacing))
    check(np.count_nonzero(cell - np.diag(np.diag(cell))) == 0, "axes not along x, y, z")
    check(data.shape == (points,) * 3, "shape %s" % (data.shape,))
    if not failures:
        printed = np.array([float("%.5E" % v) for v in values.ravel()]).reshape(values.shape)
        bad = np.argwhere(data != printed)
        check(len(bad) == 0, "%d values differ from the program's, first at %s: %r, expected %r"
              % (len(bad), bad[:1].tolist(), data[tuple(bad[0])] if len(bad) else 0,
                 printed[tuple(bad[0])] if len(bad) else 0))
        if core is not None:
            check(np.array_equal(values, core), "the values are not gridorb's signedVolume")
    for failure in failures:
        print("FAIL:", cube_path, failure)
    print("%s: %d atoms, %d^3 values%s checked" % (cube_path, natoms, points,
                                                    ", gridorb's signedVolume" if core is not None else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
