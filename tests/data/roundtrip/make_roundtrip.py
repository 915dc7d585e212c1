#!/usr/bin/env python3
"""Golden radius strings for the end-to-end tests around R360_3.oma.

Computed here in Python, independently of the program's shape code. The
first (right) trace of tests/data/oma-samples/R360_3.oma, 360 points, is:

  r360_3-COUNT.radii         resampled to COUNT points: what the host serves
                             when asked for COUNT points, and what Save Shape
                             sends for the opened file at a grant of COUNT;
  r360_3-COUNT-stored.radii  that served shape after the edit the tests make
                             (a DBL change, which starts again from the
                             received shape resampled to 1024 points, then one
                             click on rotate right: point 0 moves to the end),
                             resampled back to COUNT points as the store
                             sends it;

for COUNT 400, 500 and 512. Resampling is the rule in make_presets.py beside
the presets. Run it once: python3 make_roundtrip.py
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "presets"))
from make_presets import groups, resample  # noqa: E402


def first_trace(path):
    values, inside = [], False
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith("TRCFMT="):
                if inside:
                    break
                inside = True
                continue
            if inside and line.startswith("R="):
                values += [int(v) for v in line[2:].split(";")]
            elif inside and values:
                break
    return values


def main():
    trace = first_trace(os.path.join(HERE, "..", "oma-samples", "R360_3.oma"))
    assert len(trace) == 360, len(trace)
    for count in (400, 500, 512):
        served = resample(trace, count)
        edited = resample(served, 1024)
        edited = edited[1:] + edited[:1]
        stored = resample(edited, count)
        for name, data in (("r360_3-%d" % count, served), ("r360_3-%d-stored" % count, stored)):
            with open(os.path.join(HERE, name + ".radii"), "w", newline="") as f:
                f.write(groups(data))


if __name__ == "__main__":
    main()
