#!/usr/bin/env python3
"""Golden radius strings for the store conversation tests.

Computed here in Python, independently of the program's shape code:

  ellipse-512.radii      512 points on an ellipse of half-axes 26 and 21 mm,
                         point i at 2 pi i / 512, each radius rounded to
                         hundredths (halves away from zero), as the tests'
                         EllipseRadii(512) builds it;
  ellipse-512-400.radii  that shape resampled to 400 points by the rule in
                         ../presets/make_presets.py, as Save Shape sends it
                         when the host grants 400 points.

Run it once: python3 make_ellipse.py
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "presets"))
from make_presets import groups, resample  # noqa: E402


def ellipse(count, a=26.0, b=21.0):
    values = []
    for i in range(count):
        t = 2 * 3.14159265358979323846 * i / count
        c = math.cos(t) / a
        s = math.sin(t) / b
        values.append(int(math.floor(100.0 / math.sqrt(c * c + s * s) + 0.5)))
    return values


def main():
    shape = ellipse(512)
    for name, data in (("ellipse-512", shape), ("ellipse-512-400", resample(shape, 400))):
        with open(os.path.join(HERE, name + ".radii"), "w", newline="") as f:
            f.write(groups(data))


if __name__ == "__main__":
    main()
