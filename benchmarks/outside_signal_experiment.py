#!/usr/bin/env python3
"""Sends a signal to whole gridorb runs at random moments and counts how they end.

Not a test (its outcome depends on timing): a check by hand that a signal from
outside ends every run as it should, whatever it interrupts.

    benchmarks/outside_signal_experiment.py build/gridorb/gridorb \\
        benchmarks/data/perfluorohexadecane/FOR013 151 --runs 300 --signal FPE

A run is wrong when the handler's message was printed and it still exited 0,
or when TARNEL.COR or VELD.VTK is not a run of whole lines from the start of
what an uninterrupted run writes.
"""
import argparse
import collections
import os
import random
import shutil
import signal
import statistics
import subprocess
import tempfile
import time


def run(binary, folder, orbital, delay=None, sig=None):
    for name in ("TARNEL.COR", "VELD.VTK"):
        if os.path.exists(os.path.join(folder, name)):
            os.remove(os.path.join(folder, name))
    start = time.perf_counter()
    child = subprocess.Popen([binary, orbital], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if delay is not None:
        while time.perf_counter() - start < delay:
            pass
        try:
            child.send_signal(sig)
        except ProcessLookupError:
            pass
    out, err = child.communicate()
    files = {}
    for name in ("TARNEL.COR", "VELD.VTK"):
        path = os.path.join(folder, name)
        files[name] = open(path, "rb").read() if os.path.exists(path) else None
    return child.returncode, out, err, files, time.perf_counter() - start


def whole_record_prefix(data, full):
    return data is None or data == full or (full.startswith(data) and (data == b"" or data.endswith(b"\r\n")))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("gridorb")
    parser.add_argument("for013")
    parser.add_argument("orbital")
    parser.add_argument("--runs", type=int, default=300)
    parser.add_argument("--signal", default="FPE")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    sig = getattr(signal, "SIG" + args.signal)
    binary = os.path.abspath(args.gridorb)
    folder = tempfile.mkdtemp()
    shutil.copy(args.for013, os.path.join(folder, "FOR013"))

    durations = []
    for _ in range(10):
        code, _, _, full, seconds = run(binary, folder, args.orbital)
        assert code == 0, "an uninterrupted run failed"
        durations.append(seconds)
    span = statistics.median(durations) * 1.2

    rng = random.Random(args.seed)
    counts = collections.Counter()
    for _ in range(args.runs):
        code, _, err, files, _ = run(binary, folder, args.orbital, rng.uniform(0.0, span), sig)
        message = err != b""
        ending = "exit 0" if code == 0 else (f"exit {code}" if code > 0 else f"killed by {signal.Signals(-code).name}")
        counts[("message, " if message else "no message, ") + ending] += 1
        if message and code == 0:
            counts["WRONG: message and exit 0"] += 1
        for name in ("TARNEL.COR", "VELD.VTK"):
            if not whole_record_prefix(files[name], full[name]):
                counts[f"WRONG: {name} not whole lines of the right file"] += 1
    shutil.rmtree(folder)
    print(f"{args.runs} runs, SIG{args.signal} after 0 .. {span * 1e3:.1f} ms:")
    for key in sorted(counts):
        print(f"  {counts[key]:4d}  {key}")


if __name__ == "__main__":
    main()
