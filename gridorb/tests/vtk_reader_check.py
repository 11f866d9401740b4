"""Reads VELD.VTK with VTK's own legacy reader and checks it against the
volume computed in-process (the raw dump of volume_probe).

Usage: vtk_reader_check.py VELD.VTK PROBE.RAW
"""
import struct
import sys

import numpy as np
import vtk
from vtk.util.numpy_support import vtk_to_numpy

POINTS = 51 ** 3


def expected_block(values, normaliser):
    if normaliser == 0.0:
        return np.zeros(values.shape, dtype=np.int64)
    quotient = values.astype(np.float64) * 256.0 / np.float64(normaliser)
    return np.abs(np.trunc(quotient)).astype(np.int64)


def main(vtk_path, probe_path):
    raw = open(probe_path, "rb").read()
    low = np.frombuffer(raw, dtype="<f4", count=3, offset=0)
    high = np.frombuffer(raw, dtype="<f4", count=3, offset=12)
    signed = np.frombuffer(raw, dtype="<f4", count=POINTS, offset=24)

    reader = vtk.vtkStructuredPointsReader()
    reader.SetFileName(vtk_path)
    reader.ReadAllScalarsOn()
    reader.Update()
    if reader.GetErrorCode() != 0:
        sys.exit("the reader reported error %d" % reader.GetErrorCode())
    data = reader.GetOutput()

    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    check(data.GetDimensions() == (51, 51, 51), "dimensions %s" % (data.GetDimensions(),))
    check(data.GetNumberOfPoints() == POINTS, "point count %d" % data.GetNumberOfPoints())
    origin = np.array(data.GetOrigin())
    check(np.array_equal(origin.astype(np.float32), low), "origin %s, expected %s" % (origin, low))
    spacing = np.array(data.GetSpacing())
    expected_spacing = ((high.astype(np.float64) - low.astype(np.float64)) / 50.0).astype(np.float32)
    check(np.array_equal(spacing.astype(np.float32), expected_spacing),
          "spacing %s, expected %s" % (spacing, expected_spacing))

    minimum = min(np.float32(1000.0), signed.min())
    maximum = max(np.float32(-1000.0), signed.max())
    normaliser = max(abs(minimum), abs(maximum))
    positive = np.where(signed > 0, signed, np.float32(0))
    negative = np.where(signed > 0, np.float32(0), signed)
    expected = {
        "POS": expected_block(positive, normaliser),
        "NEG": expected_block(negative, normaliser),
        "TOT": expected_block(signed, normaliser),
    }
    point_data = data.GetPointData()
    for name, values in expected.items():
        array = point_data.GetArray(name)
        if array is None:
            failures.append("no array %s" % name)
            continue
        got = vtk_to_numpy(array).astype(np.int64)
        check(got.shape == (POINTS,), "%s has shape %s" % (name, got.shape))
        if got.shape == (POINTS,):
            differing = np.nonzero(got != values)[0]
            check(differing.size == 0, "%s differs at %d points, first at %s"
                  % (name, differing.size, differing[:1]))
            check(got.max() == 256 or name != "TOT", "%s peaks at %d, not 256" % (name, got.max()))
    if not failures:
        tot = vtk_to_numpy(point_data.GetArray("TOT"))
        pos = vtk_to_numpy(point_data.GetArray("POS"))
        neg = vtk_to_numpy(point_data.GetArray("NEG"))
        check(np.array_equal(pos + neg, tot), "POS + NEG differs from TOT")
        peak = int(np.argmax(np.abs(signed)))
        check(tot[peak] == 256, "the largest magnitude maps to %d" % tot[peak])

    if failures:
        for f in failures:
            print("FAILED:", f)
        sys.exit(1)
    print("VELD.VTK read by VTK %s: 51x51x51, origin %s, spacing %s, POS/NEG/TOT as computed"
          % (vtk.vtkVersion.GetVTKVersion(), tuple(origin), tuple(spacing)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
