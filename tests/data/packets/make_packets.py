#!/usr/bin/env python3
"""Writes the client packets the tests send (those the program sends, and
broken ones the host must refuse), framed as on the line: FS, the records (each
ended by CR), RS, "CRC=" with the decimal CRC-16 (polynomial 0x1021, start 0)
of the records and the RS, CR, GS. Written from the message
layouts, not by the program. Run from anywhere:
    python3 tests/data/packets/make_packets.py           write every file
    python3 tests/data/packets/make_packets.py --check   check them (the suite does)
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE.parent))
from framing import CR, FS, GS, RS, crc16, frame  # noqa: E402  (the shared framing sits one folder up)


OFFERS = ["TRCFMT=%s;%s;E;B" % (f, n) for n in ("512", "500", "400") for f in ("4", "3", "2", "1")]
NAMES = ["VEN=VORMIK", "MODEL=TORVIKAL"]
RADII = [2500 + 10 * i for i in range(20)]


def trace(radii):
    return ["R=" + ";".join("%04d" % r for r in radii[i:i + 15]) for i in range(0, len(radii), 15)]


TRACE = trace(RADII)

PACKETS = {
    "init": ["REQ=INI", "OMAV=3.02"],
    "probe": ["REQ=INI"],
    "edger-description": ["ANS=INI", "DEV=EDG"] + NAMES + OFFERS +
                         ['DEF="INITREQ"', "D=DBL;FTYP;ETYP", "D=HBOX;VBOX;CIRC", 'ENDDEF="INITREQ"'],
    "tracer-description": ["ANS=INI", "DEV=TRC"] + NAMES + OFFERS,
    "job-request": ["REQ=7", 'JOB="1234"', "TRCFMT=1;400;E;R;F"],
    "store-request": ["REQ=8", 'JOB="1234"'],
    "store-request-no-init": ["REQ=TRC", 'JOB="1234"'] + OFFERS,
    "upload": ["ANS=8", 'JOB="1234"'] + NAMES + ["TRCFMT=1;20;E;R;F"] + TRACE +
              ["HBOX=50.38;50.38", "VBOX=50.38;50.38", "CIRC=158.27;158.27", "DBL=18.00", "FTYP=1"],
    # The upload of a circle of radius 25 mm at 400 points for tray R360_3,
    # echoing a job's records HBOX, FOO (its blank kept) and VBOX.
    "upload-circle-400": ["ANS=8", 'JOB="R360_3"'] + NAMES + ["TRCFMT=1;400;E;R;F"] + trace([2500] * 400) +
                         ["HBOX=50.00;50.00", "FOO=bar ", "VBOX=50.00;50.00", "CIRC=157.08;157.08",
                          "DBL=18.00"],
}

# --- Uploads of whole traces ------------------------------------------------------
#
# The simulator's store tests send these. Each trace is written in the formats
# 1 to 4 by the encoders of ../replies/make_replies.py (checked there against
# the formats' worked examples and its decoders); the format 1 file of a trace
# gives its radii in plain digits for the tests to expect. Each answers DEF 8
# for tray 1234; a test that needs another answer or tray changes those records.

sys.path.insert(0, str(HERE.parent / "replies"))
sys.path.insert(0, str(HERE.parent / "presets"))
from make_replies import encode_fmt1, encode_fmt2, encode_fmt3, encode_fmt4, sample_job  # noqa: E402
from make_presets import resample  # noqa: E402


def trace_records(fmt, values):
    head = ["TRCFMT=%d;%d;E;R;F" % (fmt, len(values))]
    if fmt == 1:
        return head + encode_fmt1(values)
    return head + ["R=" + {2: encode_fmt2, 3: encode_fmt3, 4: encode_fmt4}[fmt](values)]


def upload(fmt, values, records, ans="8", tray="1234"):
    return ["ANS=" + ans, 'JOB="%s"' % tray] + NAMES + trace_records(fmt, values) + records


# The first trace of the sample job R360_3 (360 points, tray 1234 of the
# tests), resampled here by the rule of ../presets/make_presets.py.
SAMPLE = sample_job("R360_3.oma")[1]
EDITED_RECORDS = ["OMAV=03.10", "HBOX=51.20;51.20", "VBOX=44.21;44.21", "CIRC=151.39;151.39",
                  "DBL=18.00", "FTYP=2", "NEWREC=1"]
# A flat 25 mm trace, as the golden store conversations upload it.
for fmt, count in ((1, 400), (3, 500)):
    PACKETS["upload-flat-fmt%d-%d" % (fmt, count)] = upload(fmt, [2500] * count, ["DBL=18.00"])
# The sample at 400 points, with one echoed record.
for fmt in (1, 3, 4):
    PACKETS["upload-sample-fmt%d-400" % fmt] = upload(fmt, resample(SAMPLE, 400), ["HBOX=50.00;50.00"])
# The operator's edit of the sample: every radius 0.10 mm larger.
for fmt in (1, 2, 3, 4):
    for count in (400, 512):
        PACKETS["upload-edited-fmt%d-%d" % (fmt, count)] = upload(
            fmt, [r + 10 for r in resample(SAMPLE, count)], EDITED_RECORDS)
# The sample at 500 points turned by one point, in format 3 and in plain digits.
TURNED = resample(SAMPLE, 500)
for fmt in (1, 3):
    PACKETS["upload-turned-fmt%d-500" % fmt] = upload(fmt, TURNED[1:] + TURNED[:1],
                                                      ["HBOX=50.00;50.00", "DBL=18.00"])

# Uploads the host must refuse, for tray 1234 without a grant.
BAD = ["ANS=TRC", 'JOB="1234"']
PACKETS.update({
    # 400 points where TRCFMT says 512.
    "upload-bad-count": BAD + ["TRCFMT=1;512;E;R;F"] + encode_fmt1(resample(SAMPLE, 400)),
    "upload-bad-digits": BAD + ["TRCFMT=1;2;E;R;F", "R=25x0;2500"],
    "upload-bad-no-data": BAD + ["TRCFMT=4;400;E;R;F"],
    "upload-bad-format": BAD + ["TRCFMT=6;400;E;R;F", "R=00"],
    # Format 2: one radius of 10000 (bytes 10 and 39), beyond four digits.
    "upload-bad-range": BAD + ["TRCFMT=2;1;E;R;F", "R=\x10\x27"],
})

# Requests and answers the host cannot serve, each named as the host's reply
# to it in ../replies (host-<name>.reply).
PACKETS.update({
    "odd-unknown-request": ["REQ=99", 'JOB="1234"'],
    "odd-job-without-trcfmt": ["REQ=7", 'JOB="1234"'],
    "odd-unknown-device": ["ANS=INI", "DEV=XYZ"],
    "odd-unknown-answer": ["ANS=55", 'JOB="1234"'],
    "odd-no-req-or-ans": ["FOO=1"],
    "odd-unreadable-request": ['REQ=\x01"'],
    "odd-no-usable-format": ["ANS=INI", "DEV=EDG", "TRCFMT=9;512;E;B"],
})

FRAMED = {name: frame(records) for name, records in PACKETS.items()}
# The initialization with its CRC one off, and with the CRC written with two
# leading zeros (still the right number).
INIT_CRC = crc16("".join(r + CR for r in PACKETS["init"]) + RS)
FRAMED["init-wrong-crc"] = frame(PACKETS["init"], INIT_CRC + 1)
FRAMED["init-padded-crc"] = FRAMED["init"].replace("CRC=%d" % INIT_CRC, "CRC=00%d" % INIT_CRC)
# Packets without a CRC record: the short initialization, and nothing at all.
FRAMED["probe-no-checksum"] = FS + "REQ=INI" + CR + GS
FRAMED["empty-no-checksum"] = FS + GS

if sys.argv[1:] == ["--check"]:
    # Every file as written here, and no file this script does not write.
    faults = ["%s.pkt: missing" % name for name in FRAMED if not (HERE / (name + ".pkt")).exists()]
    faults += ["%s.pkt: not as written here" % name for name, data in FRAMED.items()
               if (HERE / (name + ".pkt")).exists() and
               (HERE / (name + ".pkt")).read_bytes() != data.encode("latin-1")]
    faults += ["%s: not written here" % path.name for path in sorted(HERE.glob("*.pkt"))
               if path.stem not in FRAMED]
    print("\n".join(faults) if faults else "%d golden packets checked" % len(FRAMED),
          file=sys.stderr if faults else sys.stdout)
    sys.exit(1 if faults else 0)

for name, data in FRAMED.items():
    (HERE / (name + ".pkt")).write_bytes(data.encode("latin-1"))
    print(name + ".pkt")
