#!/usr/bin/env python3
"""Writes the expected results of opening each sample job file and saving it
unchanged in format 1 at its own point count, with box A 12.34, box B 23.45
and circumference 145.67 given to the shown (first) trace's eye.

Made independently of the program: every line of the sample stays as it is,
except the first trace's TRCFMT record (format 1, its point count) and R
records (its values as four digits, ten a record), and the shown eye's field
of HBOX, VBOX and CIRC; records the sample lacks go before its first data
block. Lines end in CR LF. Run from anywhere:
    python3 tests/data/jobfiles/make_expected.py
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
SAMPLES = HERE.parent / "oma-samples"
VALUES = {"HBOX": "12.34", "VBOX": "23.45", "CIRC": "145.67"}
DATA_LABELS = {"R", "A", "T", "Z"}


def label(line):
    return line.split("=", 1)[0].strip().upper() if "=" in line else None


def expected(text):
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    first = next(i for i, l in enumerate(lines) if label(l) == "TRCFMT")
    end = first + 1
    while end < len(lines) and label(lines[end]) in DATA_LABELS:
        end += 1
    fields = lines[first].split("=", 1)[1].split(";")
    values = []
    for l in lines[first + 1:end]:
        if label(l) == "R":
            values += [int(v) for v in l.split("=", 1)[1].split(";") if v.strip()]
    fields[0], fields[1] = "1", str(len(values))
    eye = fields[3].strip() if len(fields) > 3 else "R"
    trace = ["R=" + ";".join("%04d" % v for v in values[i:i + 10]) for i in range(0, len(values), 10)]
    lines[first:end] = ["TRCFMT=" + ";".join(fields)] + trace

    first_block = next(i for i, l in enumerate(lines)
                       if label(l) and len(label(l)) > 3 and label(l).endswith("FMT"))
    for name, value in VALUES.items():
        at = next((i for i, l in enumerate(lines) if label(l) == name), None)
        if at is None:
            pair = [value, ""] if eye != "L" else ["", value]
            lines.insert(first_block, name + "=" + ";".join(pair))
            first_block += 1
            continue
        own = lines[at].split("=", 1)[1].split(";")
        if len(own) == 1:
            own.append(own[0])
        own[1 if eye == "L" else 0] = value
        lines[at] = lines[at].split("=", 1)[0] + "=" + ";".join(own)
    return "".join(l + "\r\n" for l in lines)


for sample in sorted(SAMPLES.glob("*.oma")):
    if sample.name == "TRCFMT6.oma":  # its trace cannot be opened
        continue
    out = HERE / (sample.stem + ".saved.oma")
    out.write_bytes(expected(sample.read_bytes().decode("latin-1")).encode("latin-1"))
    print(out.name)
