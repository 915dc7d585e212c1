#!/usr/bin/env python3
"""Golden figures of the editor's changes, for the window, trevalon-cli edit
and the saved job file alike.

Computed here in Python, independently of the program's shape code, from the
written rules of the editor:
  * every change starts from the received shape (the sample's first trace)
    resampled to 1024 points (the law-of-sines rule in make_presets.py);
  * box A and box B: each point is scaled in x by target A / box A and in y
    by target B / box B; with Lock B box A is not read (x stays) and the
    upper half (points 0 to n/2) keeps
    its height and the lower half is scaled by (2 B - box B) / box B, then
    the shape is moved so its top lies B / 2 above the centre; the new
    radius at each of the n angles is read linearly in the angle between the
    moved points (points taken in angle order), rounded half to even;
  * the circumference: every radius times target / circumference, rounded
    half to even;
  * box A, box B and the circumference of a shape are the extent in x and y
    and the perimeter of the polygon through its points;
  * a value the operator does not type is the one its edit shows, the
    figure rounded to hundredths.

Writes edits.tsv beside this script: sample, change, Lock B, A, B, Circ (the
typed values; "-" where the edit keeps what it shows), then the expected box
A, box B and circumference to two decimals. Run it once:
    python3 tests/data/edits/make_edits.py
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "presets"))
sys.path.insert(0, os.path.join(HERE, "..", "roundtrip"))
from make_presets import resample  # noqa: E402
from make_roundtrip import first_trace  # noqa: E402

SAMPLES = os.path.join(HERE, "..", "oma-samples")


def measure(values):
    n = len(values)
    step = 2 * math.pi / n
    xs = [0.0]
    ys = [0.0]
    circ = 0.0
    for i, v in enumerate(values):
        r = v / 100.0
        xs.append(math.cos(i * step) * r)
        ys.append(math.sin(i * step) * r)
        prev = values[i - 1] / 100.0
        circ += math.sqrt(r * r + prev * prev - 2 * r * prev * math.cos(step))
    return max(xs) - min(xs), max(ys) - min(ys), circ


def half_even(x):
    return int(round(x))  # Python rounds half to even


def angle_of(x, y):
    a = math.atan2(y, x)
    return a + 2 * math.pi if a < 0 else a


def read_at_angles(points, n):
    """Radii at the angles e * 2pi / n, read linearly in the angle between
    the points (radius, angle), wrapping round."""
    pts = sorted(points, key=lambda p: p[1])
    step = 2 * math.pi / n
    out = []
    for e in range(n):
        theta = e * step
        k = next((i for i, p in enumerate(pts) if p[1] > theta), len(pts))
        if k == len(pts):
            lo, hi = pts[-1], (pts[0][0], pts[0][1] + 2 * math.pi)
        elif k == 0:
            lo, hi = (pts[-1][0], pts[-1][1] - 2 * math.pi), pts[0]
        else:
            lo, hi = pts[k - 1], pts[k]
        if hi[1] == lo[1]:
            r = hi[0]
        else:
            r = lo[0] + (hi[0] - lo[0]) * (theta - lo[1]) / (hi[1] - lo[1])
        out.append(half_even(r * 100.0))
    return out


def set_boxes(values, a, b, lock_b):
    n = len(values)
    box_a, box_b, _ = measure(values)
    # With Lock B box A is not read: it keeps the shape's own.
    sx = 1.0 if lock_b else a / box_a
    sy = (2 * b - box_b) / box_b if lock_b else b / box_b
    step = 2 * math.pi / n
    points = []
    top = -1.0
    for i, v in enumerate(values):
        r = v / 100.0
        x = math.cos(i * step) * r * sx
        y = math.sin(i * step) * r
        if not lock_b or i > n // 2:
            y *= sy
        points.append((math.hypot(x, y), angle_of(x, y)))
        top = max(top, y)
    radii = read_at_angles(points, n)
    if lock_b and sy != 1:
        shift = b / 2 - top
        moved = []
        for i, v in enumerate(radii):
            r = v / 100.0
            x = math.cos(i * step) * r
            y = math.sin(i * step) * r + shift
            moved.append((math.hypot(x, y), angle_of(x, y)))
        radii = read_at_angles(moved, n)
    return radii


def scale_to_circ(values, target):
    _, _, circ = measure(values)
    f = target / circ
    return [half_even(v * f) for v in values]


# sample, change, Lock B, A, B, Circ ("-": the edit keeps what it shows)
EDITS = [
    ("R360_3.oma", "box", True, "-", "46", "-"),
    ("R360_3.oma", "box", False, "-", "46", "-"),
    ("R360_3.oma", "box", False, "53", "-", "-"),
    ("R360_3.oma", "circ", True, "-", "-", "140"),
    ("R1000_1.oma", "box", True, "-", "38", "-"),
    ("R1000_1.oma", "box", False, "48", "36", "-"),
    ("R360_1.oma", "circ", True, "-", "-", "165"),
    ("STHKFMT.oma", "box", True, "-", "42", "-"),
]


def main():
    rows = []
    for name, change, lock_b, a, b, c in EDITS:
        start = resample(first_trace(os.path.join(SAMPLES, name)), 1024)
        shown_a, shown_b, shown_c = (round(v, 2) for v in measure(first_trace(os.path.join(SAMPLES, name))))
        if change == "box":
            values = set_boxes(start, float(a) if a != "-" else shown_a,
                               float(b) if b != "-" else shown_b, lock_b)
        else:
            values = scale_to_circ(start, float(c))
        box_a, box_b, circ = measure(values)
        rows.append("\t".join([name, change, "Y" if lock_b else "N", a, b, c,
                               "%.2f" % box_a, "%.2f" % box_b, "%.2f" % circ]))
    with open(os.path.join(HERE, "edits.tsv"), "w") as f:
        f.write("".join(r + "\n" for r in rows))
    print("\n".join(rows))


if __name__ == "__main__":
    main()
