#!/usr/bin/env python3
"""Writes the expected results of opening each sample job file and saving it
with an edit of the shown (first) trace's eye to box A 12.34, box B 23.45 and
circumference 145.67, in format 1 at its own point count, with its own trace.

Made independently of the program: every line of the sample stays as it is,
byte for byte with its own line end, except the shown eye's field of the
HBOX, VBOX and CIRC records the sample has (a record of one value keeps it
for the other eye); a record the sample lacks is not added. The samples'
traces are already format 1, so their blocks stay as written. Run from
anywhere:
    python3 tests/data/jobfiles/make_expected.py
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
SAMPLES = HERE.parent / "oma-samples"
VALUES = {"HBOX": "12.34", "VBOX": "23.45", "CIRC": "145.67"}


def label(line):
    return line.split("=", 1)[0].strip().upper() if "=" in line else None


def expected(text):
    # Each line with its own end: CR LF, LF or CR.
    lines, ends, at = [], [], 0
    while at < len(text):
        cut = min([i for i in (text.find("\r", at), text.find("\n", at)) if i >= 0] or [len(text)])
        end = cut
        if text.startswith("\r\n", cut):
            end = cut + 2
        elif cut < len(text):
            end = cut + 1
        lines.append(text[at:cut])
        ends.append(text[cut:end])
        at = end
    first = next(i for i, l in enumerate(lines) if label(l) == "TRCFMT")
    fields = lines[first].split("=", 1)[1].split(";")
    assert fields[0].strip() == "1", "a sample whose trace is not format 1 would be rewritten"
    eye = fields[3].strip() if len(fields) > 3 else "R"
    for name, value in VALUES.items():
        at = next((i for i, l in enumerate(lines) if label(l) == name), None)
        if at is None:
            continue
        own = lines[at].split("=", 1)[1].split(";")
        if len(own) == 1:
            own.append(own[0])
        own[1 if eye == "L" else 0] = value
        lines[at] = lines[at].split("=", 1)[0] + "=" + ";".join(own)
    return "".join(l + e for l, e in zip(lines, ends))


for sample in sorted(SAMPLES.glob("*.oma")):
    if sample.name == "TRCFMT6.oma":  # its trace cannot be opened
        continue
    out = HERE / (sample.stem + ".saved.oma")
    out.write_bytes(expected(sample.read_bytes().decode("latin-1")).encode("latin-1"))
    print(out.name)
