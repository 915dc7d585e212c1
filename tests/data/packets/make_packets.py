#!/usr/bin/env python3
"""Writes the packets the program sends, framed as on the line: FS, the
records (each ended by CR), RS, "CRC=" with the decimal CRC-16 (polynomial
0x1021, start 0) of the records and the RS, CR, GS. Written from the message
layouts, not by the program. Run from anywhere:
    python3 tests/data/packets/make_packets.py
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE.parent))
from framing import frame  # noqa: E402  (the shared framing sits one folder up)


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

for name, records in PACKETS.items():
    (HERE / (name + ".pkt")).write_bytes(frame(records).encode("latin-1"))
    print(name + ".pkt")
