#!/usr/bin/env python3
"""Golden radius strings for the editor's preset shapes.

Computed here in Python, independently of the program's shape code, from the
written rules: each preset has 512 points at i * pi / 256, radii truncated to
hundredths; the square and the flower pot follow the sector rule; the diamond
is the square turned by 64 points. Each preset is also resampled to 1024
points as the editor does before any edit: the new point lies where the ray
at its angle crosses the straight line between its two old neighbours (law of
sines), rounded half to even; equal neighbours give their radius exactly.

Writes, beside this script, NAME.radii (512 points) and NAME-1024.radii for
circle, square, diamond and flowerpot. Run it once: python3 make_presets.py
"""
import math
import os

POINTS = 512


def sector_kind(i):
    if 64 <= i <= 191 or 320 <= i <= 447:
        return "topbottom"
    return "side"


def sector_radius(i, flower_pot):
    theta = i * math.pi / 256
    if flower_pot:
        x, y = 25 * math.cos(theta), 25 * math.sin(theta)
    else:
        x, y = 0.0, 0.0
    if sector_kind(i) == "side":
        x = 25.0
    else:
        y = 25.0
    if y == 0:
        y = abs(math.tan(theta)) * x
    else:
        x = y / abs(math.tan(theta))
    return int(math.trunc(100 * math.sqrt(x * x + y * y)))


def groups(values, pattern="%.4d"):
    """The radius string of Values: resampled radii are written with "%.4d",
    the presets' own with "%4d" (the same for radii of four digits)."""
    return "".join(pattern % v for v in values)


def square():
    return [sector_radius(i, False) for i in range(POINTS)]


def resample(values, count):
    m = len(values)
    if count == m:
        return list(values)
    ratio = m / count
    step = 2 * math.pi / m
    out = []
    for i in range(count):
        p = i * ratio
        j = int(p)
        r1 = values[j]
        r2 = values[math.ceil(p) % m]
        if r1 == r2:
            out.append(r1)
            continue
        phi = (p - j) * step
        chord = math.sqrt(r1 * r1 + r2 * r2 - 2 * r1 * r2 * math.cos(step))
        if r1 * chord == 0:
            alpha = 0.0
        else:
            alpha = math.acos(max(-1.0, min(1.0, (r1 * r1 + chord * chord - r2 * r2) / (2 * r1 * chord))))
        new = math.sin(alpha) * r1 / math.sin(math.pi - phi - alpha)
        out.append(round(new) & 0xFFFF)
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    sq = square()
    presets = {
        "circle": [2500] * POINTS,
        "square": sq,
        "diamond": sq[64:] + sq[:64],
        "flowerpot": [sector_radius(i, True) for i in range(POINTS)],
    }
    for name, values in presets.items():
        for suffix, text in (("", groups(values, "%4d")), ("-1024", groups(resample(values, 1024)))):
            with open(os.path.join(here, name + suffix + ".radii"), "w", newline="") as f:
                f.write(text)


if __name__ == "__main__":
    main()
