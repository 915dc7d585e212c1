#!/usr/bin/env python3
"""The golden host replies of this folder, derived without the program.

Each .reply file holds one reply as the program keeps it: from the packet's FS
to its GS (FS, the records each ended by CR, RS, "CRC=" with the decimal
CRC-16 of the records and the RS, CR, GS). A hung-up reply stops short.

The short replies are written here from the message layouts: the lab host
simulator's answers and fault modes as its manual describes them, and the
examples of the protocol's description as written there. The job replies
carry a whole sample job; they are kept as committed files and checked here
by an independent reading: the records the host echoes from the sample file,
and the trace decoded by this file's own decoders of formats 1 to 4. The
job replies the window's conversation tests receive carry a drawn ellipse
instead, and are written here by this file's own encoders of formats 1 to 4;
so are the simulator's served sample jobs (served-*), their first trace
resampled by the presets' rule.

    python3 tests/data/replies/make_replies.py           check every file
    python3 tests/data/replies/make_replies.py --write   write the short ones

Run with --write only when a reply is meant to change, and review the diff.
The test suite runs the check.
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
SAMPLES = HERE.parent / "oma-samples"
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE.parent))
from framing import CR, FS, GS, RS, crc16, frame, frame_body  # noqa: E402  (one folder up)


INIT_OK = ["ANS=INI", "STATUS=0"]

# name -> records (and, where the example says so, the CRC it carries).
SHORT = {
    # The simulator's request conversation: init, the edger's description, the job.
    "init-def12": INIT_OK,
    "edger-def12": INIT_OK + ["DEF=12", "TRCFMT=1;400;E;B"],
    "job-def12": ["ANS=12", 'STATUS=1;"Tray nosuchtray not found"'],
    "init-status-fault": ["ANS=INI", 'STATUS=2;"Busy"'],
    "edger-status-fault": ["ANS=INI", 'STATUS=6;"Host fault"'],
    "job-status-fault": ["ANS=7", 'STATUS=3;"Job locked"'],
    # The store conversation for tray R360_3.
    "storeinit-ok": INIT_OK,
    "tracer-ok": INIT_OK + ["DEF=8", "TRCFMT=1;400;E;B"],
    "grant-ok": ["ANS=8", "STATUS=0", 'JOB="R360_3"', "TRCFMT=1;400;E;B"],
    "verdict-ok": ["ANS=8", "STATUS=0", 'JOB="R360_3"'],
    "storeinit-abc": INIT_OK,
    "tracer-abc": INIT_OK + ["DEF=ABC", "TRCFMT=3;500;E;B"],
    "grant-abc": ["ANS=ABC", "STATUS=0", 'JOB="R360_3"', "TRCFMT=3;500;E;B"],
    "verdict-abc": ["ANS=ABC", "STATUS=0", 'JOB="R360_3"'],
    "storeinit-noinit": INIT_OK,
    "grant-noinit": ["ANS=TRC", "STATUS=0", 'JOB="R360_3"', "TRCFMT=1;400;E;B"],
    "verdict-noinit": ["ANS=TRC", "STATUS=0", 'JOB="R360_3"'],
    "storeinit-refused": INIT_OK,
    "tracer-refused": INIT_OK + ["DEF=8", "TRCFMT=1;400;E;B"],
    "grant-refused": ["ANS=8", "STATUS=0", 'JOB="R360_3"', "TRCFMT=1;400;E;B"],
    "verdict-refused": ["ANS=8", 'STATUS=3;"Job locked"'],
    "storeinit-status-fault": INIT_OK,
    "tracer-status-fault": ["ANS=INI", 'STATUS=5;"Checksum"'],
    "grant-status-fault": ["ANS=8", 'STATUS=7;"No format"'],
    "verdict-status-fault": ["ANS=8", "STATUS=4"],
    # Examples of the protocol's description.
    "example-init-status10": ["ANS=INI", "STATUS=10"],
    "example-edger-quoted12": ['DEF="12"', "TRCFMT=4;512;E;B"],
    "example-edger-initreq": ['DEF="INITREQ"', "TRCFMT=4;512;E;B"],
    "example-edger-def7": ["TRCFMT=4;512;E;B", "DEF=7"],
    "example-edger-format5": ["DEF=7", "TRCFMT=5;512;E;B"],
    "example-edger-format0": ["DEF=7", "TRCFMT=0;512;E;B"],
    "example-storeinit-01": ["ANS=INI", "STATUS=01"],
    "example-storeinit-0cr": INIT_OK,
    "example-tracer-quoted": INIT_OK + ['DEF="ABC"'],
    "example-tracer-plain": INIT_OK + ["DEF=ABC"],
    "example-job-nosuchtray": ["ANS=7", 'STATUS=1;"No such tray"'],
    "example-job-status1": ["ANS=7", "STATUS=1"],
    "example-job-nostatus": ["ANS=7", 'JOB="1234"'],
    "example-job-notrcfmt": ["ANS=7", "STATUS=0", 'JOB="1234"', "HBOX=1"],
    "example-job-notrcfmt-r": ["ANS=7", "STATUS=0", 'JOB="1234"', "R=2500;2500"],
    "example-job-equals": ["ANS=7", "STATUS=0", "FOO=X=1", "FOO=2", "foo=3", "TRCFMT=1;2;E;R;F",
                           "R=2500;2500"],
    "example-verdict-locked": ["ANS=8", 'STATUS=3;"Job locked"'],
    "example-verdict-bare3": ["ANS=8", "STATUS=3"],
    "example-verdict-nostatus": ["ANS=8"],
    "example-verdict-ok": ["ANS=8", "STATUS=0"],
    "example-search-answer": ["ANS=INI"],
    "example-search-spaces": ["ANS \r\n=\t INI"],
    "example-search-lower": ["ans=ini"],
    "example-search-other": ["ANS:=INI"],
}
# The simulator's answers to what it cannot serve or read, and its faults.
SHORT.update({
    "host-job-kept-home": ["ANS=7", "STATUS=0", 'JOB="9"', "FOO=1", "D=3", "TRCFMT=1;1;E;R;F", "R=2500"],
    "host-tray-not-found": ["ANS=7", 'STATUS=1;"Tray 9999 not found"'],
    "host-no-tray": ["ANS=7", 'STATUS=1;"No tray number"'],
    "host-invalid-tray": ["ANS=7", 'STATUS=2;"Invalid tray number: letters, digits, - and _ only"'],
    "host-no-usable-trace": ["ANS=7", 'STATUS=4;"Job has no usable trace"'],
    "host-unsupported-format": ["ANS=7", 'STATUS=2;"Unsupported trace format"'],
    "host-unknown-request": ["ANS=99", 'STATUS=2;"Unknown request"'],
    "host-job-without-trcfmt": ["ANS=7", 'STATUS=2;"Job request without TRCFMT"'],
    "host-unknown-device": ["ANS=INI", 'STATUS=2;"Cannot serve device type XYZ"'],
    "host-unknown-answer": ["ANS=55", 'STATUS=2;"Unknown answer"'],
    "host-no-req-or-ans": ["ANS=ERR", 'STATUS=2;"No REQ or ANS record"'],
    "host-unreadable-request": ["ANS=ERR", 'STATUS=2;"Unknown request"'],
    "host-no-usable-format": ["ANS=INI", 'STATUS=7;"No usable trace format"'],
    "host-store-locked": ["ANS=TRC", 'STATUS=3;"Job locked"'],
    "host-cannot-store": ["ANS=TRC", 'STATUS=6;"Cannot store the job"'],
    "host-job-on-hold": ["ANS=7", 'STATUS=2;"Job on hold"'],
    # A status text loses its quotes and line ends on the way out.
    "host-disk-full": ["ANS=TRC", 'STATUS=9;"Disk full"'],
    "host-packet-too-long": ["ANS=ERR", 'STATUS=2;"Packet too long"'],
    # The tracer's description answered with the host's first offer; the No
    # Init store of tray 1234 granted and stored in format 3 at 500 points.
    "tracer-default": INIT_OK + ["DEF=8", "TRCFMT=4;512;E;B"],
    "grant-noinit-3-500": ["ANS=TRC", "STATUS=0", 'JOB="1234"', "TRCFMT=3;500;E;B"],
    "verdict-noinit-1234": ["ANS=TRC", "STATUS=0", 'JOB="1234"'],
    # Replies the program must refuse: a grant beyond its point tables, a job
    # reply that answers another request.
    "grant-noinit-5000": ["ANS=TRC", "STATUS=0", "TRCFMT=1;5000;E;B"],
    "job-other-answer": ["ANS=99", "STATUS=0"],
})
# How the window reads odd answers in its conversations' opening.
SHORT.update({
    "init-loose-status2": ["ANS = INI", "X=1", "STATUS=2", "Y=0;"],
    "init-status1": ["ANS=INI", "STATUS=1"],
    "init-status-first": ["STATUS=0", "ANS=INI"],
    "edger-quoted12-3-500": INIT_OK + ['DEF="12"', "TRCFMT=3;500;E;B"],
    "edger-initreq": INIT_OK + ['DEF="INITREQ"', "TRCFMT=4;512;E;B"],
    "edger-spaced": INIT_OK + ["DEF = 7", "TRCFMT = 2 ; x400x;E;B"],
    "edger-padded-count": INIT_OK + ["DEF=7", "TRCFMT=1;0400;E;B"],
    "edger-format5": INIT_OK + ["DEF=7", "TRCFMT=5;512;E;B"],
    "edger-format0": INIT_OK + ["DEF=7", "TRCFMT=0;512;E;B"],
    "edger-no-def": INIT_OK + ["TRCFMT=1;400;E;B"],
    "edger-def7-first": INIT_OK + ["TRCFMT=4;512;E;B", "DEF=7"],
    "tracer-abc-2-500": INIT_OK + ["DEF=ABC", "TRCFMT=2;500;E;B"],
    "tracer-def-after-blanks": INIT_OK + ["DEF=;  X9"],
    "tracer-status07": ["ANS=INI", "STATUS=07", "DEF=ABC"],
    "tracer-xdef": INIT_OK + ["XDEF=ABC"],
    "grant-abc-bare": ["ANS=ABC", "STATUS=0"],
    "grant-trc-bare": ["ANS=TRC", "STATUS=0"],
    "grant-trc-3-400": ["ANS=TRC", "STATUS=0", "TRCFMT=3;400;E;B"],
    "grant-8-bare": ["ANS=8", "STATUS=0"],
    "grant-8-1234": ["ANS=8", "STATUS=0", 'JOB="1234"'],
    "grant-tray-not-found": ["ANS=8", 'STATUS=1;"Tray 1234 not found"'],
    "verdict-job-only": ["ANS=8", 'JOB="1234"'],
    "verdict-status4-empty-text": ["ANS=8", 'STATUS=4;""'],
})
# The tracer's description answered with DEF 8 and the offer the host picked.
for offer in ["2;500", "3;500", "4;500", "2;512", "1;512", "1;5000", "2;0"]:
    SHORT["tracer-granted-" + offer.replace(";", "-")] = INIT_OK + ["DEF=8", "TRCFMT=%s;E;B" % offer]
# Job replies the window reads its status from, or cannot read.
SHORT.update({
    "job-locked-by-edger": ["ANS=7", "STATUS=2 ; Locked by edger 3."],
    "job-answers-def8": ["ANS=8", "STATUS=0"],
    "job-answers-def77": ["ANS=77", "STATUS=0"],
    "job-status-not-number": ["ANS=7", "STATUS=x"],
})
# Replies whose records end in LF, written as their bytes stand.
RAW = {
    "job-status-after-lf": "ANS=7\rSTATUS=0\nSTATUS=5;Gone\n",
    "job-empty-status-after-lf": 'ANS=7\rFOO=1\nSTATUS=""\r',
}
# The edger's description answered with DEF 7 and the offer the host picked.
for offer in ["4;512", "2;500", "1;512", "4;400", "3;512", "1;1000", "4;360", "3;500", "1;400",
              "2;400", "3;400", "1;0400", "1;64", "1;500", "1;1024"]:
    SHORT["edger-granted-" + offer.replace(";", "-")] = INIT_OK + ["DEF=7", "TRCFMT=%s;E;B" % offer]
# The four request conversations in formats 1 to 4 share their first two replies.
for fmt in "1234":
    SHORT["init-fmt" + fmt] = INIT_OK
    SHORT["edger-fmt" + fmt] = INIT_OK + ["DEF=7", "TRCFMT=4;512;E;B"]
# The description's example of a packet whose CRC is 0 (it does not check).
SHORT_CRC = {"example-init-crc0": (["ANS=INI", "STATUS=1"], 3450)}

# --- The job replies ------------------------------------------------------------

# Labels the host never echoes from a stored job: its own answer head, and
# every trace block (written anew for the format asked for).
OWN_LABELS = {"JOB", "REQ", "STATUS", "ANS"}
TRACE_LABELS = {"TRCFMT", "R", "ZFMT", "Z"}


def unescape(data):
    out = bytearray()
    i = 0
    raw = data.encode("latin-1")
    while i < len(raw):
        if raw[i] == 0x1B:
            i += 1
            out.append(raw[i] & 0x7F if i < len(raw) else 0)
        else:
            out.append(raw[i])
        i += 1
    return bytes(out)


def signed(value, bits):
    return value - (1 << bits) if value & (1 << (bits - 1)) else value


def decode_fmt2(payload):
    return [payload[i] | payload[i + 1] << 8 for i in range(0, len(payload) - 1, 2)]


def decode_fmt3(payload):
    values = [payload[0] | payload[1] << 8]
    i = 2
    while i < len(payload):
        if payload[i] == 0x80:
            values.append(payload[i + 1] | payload[i + 2] << 8)
            i += 3
        else:
            values.append((values[-1] + signed(payload[i], 8)) & 0xFFFF)
            i += 1
    return values


def decode_fmt4(payload, count):
    nibbles = []
    for b in payload:
        nibbles += [b >> 4, b & 0xF]
    at = 0

    def take(n):
        nonlocal at
        part = nibbles[at:at + n]
        at += n
        return part

    values, mode, previous, previous_d = [], 16, 0, 0
    while len(values) < count:
        if mode == 16:
            a, b, c, d = take(4)
            item = (a << 4 | b) | (c << 4 | d) << 8
            if item == 0x8000:
                mode = 8
                continue
            previous_d = (item - previous) & 0xFFFF
            previous = item
        elif mode == 8:
            a, b = take(2)
            item = a << 4 | b
            if item == 0x80:
                mode = 4
                continue
            if item == 0x81:
                mode = 16
                continue
            previous_d = signed(item, 8) & 0xFFFF
            previous = (previous + previous_d) & 0xFFFF
        else:
            (item,) = take(1)
            if item == 8:
                mode = 8
                continue
            previous_d = (previous_d + signed(item, 4)) & 0xFFFF
            previous = (previous + previous_d) & 0xFFFF
        values.append(previous)
    return values


def sample_job(name):
    """The sample's records outside its trace blocks (values without the blanks
    around them), and its first trace."""
    lines = (SAMPLES / name).read_bytes().decode("latin-1").replace("\r\n", "\n").split("\n")
    records, trace, traces, block = [], [], 0, None
    for line in lines:
        if not line:
            continue
        label, _, value = line.partition("=")
        if label == "TRCFMT":
            traces += 1
            block = traces
            count = int(value.split(";")[1])
            continue
        if label in TRACE_LABELS:
            if label == "R" and block == 1 and len(trace) < count:
                trace += [int(v) for v in value.split(";") if v.strip()]
            continue
        block = None
        if label not in OWN_LABELS:
            records.append(label + "=" + value.strip(" "))
    return records, trace


def check_job(name, fmt, tray, sample):
    data = (HERE / (name + ".reply")).read_bytes().decode("latin-1")
    body = check_frame(name, data)
    records = body.split(CR)[:-1]
    echoed, trace = sample_job(sample)
    head = ["ANS=7", "STATUS=0", 'JOB="%s"' % tray]
    want_count = len(trace)
    trcfmt = "TRCFMT=%s;%d;E;R;F" % (fmt, want_count)
    if records[:3] != head:
        fail(name, "head %r, not %r" % (records[:3], head))
    at = records.index(trcfmt) if trcfmt in records else fail(name, "no " + trcfmt)
    if records[3:at] != echoed:
        got = records[3:at]
        first = next((i for i, (a, b) in enumerate(zip(got, echoed)) if a != b), min(len(got), len(echoed)))
        fail(name, "echoed records differ from the sample's at %d: %r" % (first, got[first:first + 2]))
    trace_records = records[at + 1:]
    if fmt == "1":
        if any(not r.startswith("R=") for r in trace_records):
            fail(name, "a format 1 trace holds other records")
        groups = [g for r in trace_records for g in r[2:].split(";")]
        if any(len(g) != 4 for g in groups) or any(len(r) > 78 for r in trace_records[:-1]):
            fail(name, "format 1 groups of four digits, up to 15 a line")
        if [len(r[2:].split(";")) for r in trace_records[:-1]] != [15] * (len(trace_records) - 1):
            fail(name, "format 1 lines of 15 values")
        values = [int(g) for g in groups]
    else:
        if len(trace_records) != 1 or not trace_records[0].startswith("R="):
            fail(name, "one R record")
        payload = unescape(trace_records[0][2:])
        values = {"2": decode_fmt2, "3": decode_fmt3}[fmt](payload) if fmt != "4" else \
            decode_fmt4(payload, want_count)
    if values != trace:
        fail(name, "the trace is not the sample's first trace")
    return data


def check_frame(name, data, crc=None):
    if not data.startswith(FS) or not data.endswith(CR + GS) or RS not in data:
        fail(name, "not framed FS ... RS CRC=n CR GS")
    body, _, tail = data[1:].rpartition(RS)
    want = crc16(body + RS) if crc is None else crc
    if tail != "CRC=%d%s%s" % (want, CR, GS):
        fail(name, "CRC record %r, not CRC=%d" % (tail, want))
    return body


# --- Job replies carrying a drawn ellipse -------------------------------------
#
# The window's conversation tests receive these. Each trace is the ellipse of
# ../conversation/make_ellipse.py (half-axes 26 and 21 mm unless named
# otherwise, radii rounded to hundredths), written in formats 1 to 4 by this
# file's own encoders; main() checks the encoders against the worked examples
# of the formats' description and against the decoders above.

sys.path.insert(0, str(HERE.parent / "conversation"))
from make_ellipse import ellipse  # noqa: E402

# Payload bytes that never travel bare in formats 2 to 4: ESC, then the byte + 128.
ESCAPED = {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30}


def escape(payload):
    out = bytearray()
    for b in payload:
        out += bytes([27, b + 128]) if b in ESCAPED else bytes([b])
    return out.decode("latin-1")


def encode_fmt1(values):
    """The R records of format 1: up to 15 four-digit values each."""
    groups = ["%04d" % v for v in values]
    return ["R=" + ";".join(groups[i:i + 15]) for i in range(0, len(groups), 15)]


def encode_fmt2(values):
    return escape(b"".join(bytes([v & 0xFF, v >> 8 & 0xFF]) for v in values))


def encode_fmt3(values):
    out = bytearray([values[0] & 0xFF, values[0] >> 8 & 0xFF])
    for previous, value in zip(values, values[1:]):
        diff = value - previous
        if -127 <= diff <= 127:
            out.append(diff & 0xFF)
        else:
            out += bytes([0x80, value & 0xFF, value >> 8 & 0xFF])
    return escape(out)


def encode_fmt4(values):
    nibbles = []

    def put(item, width):
        if width == 1:
            nibbles.append(item & 0xF)
        elif width == 2:
            nibbles.extend([item >> 4 & 0xF, item & 0xF])
        else:  # low byte, then high byte, each high nibble first
            nibbles.extend([item >> 4 & 0xF, item & 0xF, item >> 12 & 0xF, item >> 8 & 0xF])

    mode, previous_d = 16, 0

    def switch(marker, marker_width, to, item, item_width):
        """A marker, the mode it switches to, and the point's item in that mode."""
        nonlocal mode
        put(marker, marker_width)
        mode = to
        put(item, item_width)

    for i, value in enumerate(values):
        d = value - (values[i - 1] if i else 0)
        dd = d - previous_d
        d_fits, dd_fits = -126 <= d <= 127, -7 <= dd <= 7
        if mode == 16:
            switch(0x8000, 4, 8, d, 2) if d_fits else put(value, 4)
        elif mode == 8:
            if not d_fits:
                switch(129, 2, 16, value, 4)
            elif dd_fits:
                switch(128, 2, 4, dd, 1)
            else:
                put(d, 2)
        elif dd_fits:
            put(dd, 1)
        elif d_fits:
            switch(8, 1, 8, d, 2)
        else:
            put(8, 1)
            switch(129, 2, 16, value, 4)
        previous_d = d
    if len(nibbles) % 2:
        nibbles.append(0)
    return escape(bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2)))


def check_encoders():
    """The worked examples of the formats' description, and each encoder
    read back by the decoders above."""
    example = [2500, 2501, 2503, 2506, 2510, 2520, 2400, 2400, 2401]
    want = {
        encode_fmt2: "C4 09 C5 09 C7 09 CA 09 CE 09 D8 09 60 09 60 09 61 09",
        encode_fmt3: "C4 09 01 02 03 04 1B 8A 88 00 01",
        encode_fmt4: "C4 09 00 80 01 80 1B 91 16 88 80 08 01",
    }
    for encode, text in want.items():
        if encode(example) != bytes.fromhex(text).decode("latin-1"):
            FAILURES.append("%s: not the worked example %s" % (encode.__name__, text))
    if encode_fmt3([2500, 2501, 2300, 2290]) != bytes.fromhex("C4 09 01 80 FC 08 F6").decode("latin-1"):
        FAILURES.append("encode_fmt3: not the worked example with a large step")
    if encode_fmt1(list(range(31))) != ["R=" + ";".join("%04d" % v for v in range(a, min(a + 15, 31)))
                                        for a in (0, 15, 30)]:
        FAILURES.append("encode_fmt1: not lines of 15 values")
    for values in (ellipse(400), ellipse(500), ellipse(512), [0x2020] * 398 + [0x2041, 0x213D]):
        raw = lambda text: unescape(text)  # noqa: E731
        if decode_fmt2(raw(encode_fmt2(values))) != values or \
                decode_fmt3(raw(encode_fmt3(values))) != values or \
                decode_fmt4(raw(encode_fmt4(values)), len(values)) != values:
            FAILURES.append("the encoders and decoders disagree on %d points" % len(values))


JOB_1234 = ["ANS=7", "STATUS=0", 'JOB="1234"']


def trace(fmt, values, eye="R"):
    """The TRCFMT record and the trace of Values in format Fmt."""
    head = ["TRCFMT=%d;%d;E;%s;F" % (fmt, len(values), eye)]
    if fmt == 1:
        return head + encode_fmt1(values)
    return head + ["R=" + {2: encode_fmt2, 3: encode_fmt3, 4: encode_fmt4}[fmt](values)]


E400 = ellipse(400)
# Job 1234 as the window's request receives it.
DRAWN = {
    # A received shape to edit or store: the job's records, then its trace in format 1.
    "job-ellipse-64": JOB_1234 + ["DBL=18.00"] + trace(1, ellipse(64)),
    "job-ellipse-400": JOB_1234 + ["DBL=18.00"] + trace(1, E400),
    "job-ellipse-500": JOB_1234 + ["DBL=18.00"] + trace(1, ellipse(500)),
    "job-ellipse-512": JOB_1234 + ["DBL=18.00"] + trace(1, ellipse(512)),
    "job-ellipse-512-ftyp": JOB_1234 + ["DBL=18.00", "FTYP=1"] + trace(1, ellipse(512)),
    "job-ellipse-512-dbl17": JOB_1234 + ["DBL=17.00"] + trace(1, ellipse(512)),
    "job-ellipse-512-records": JOB_1234 + [
        "HBOX=50.00;50.00", "DBL=17.00", "FTYP=1", "ETYP=2", "VBOX=1;1", "CIRC=1", "DO=B", "ZFMT=1",
        "VEN=X", "MODEL=Y", "VER=1", "REM=note", "REQ=7", "INI=1", "FOO=X=1"] + trace(1, ellipse(512)),
    "job-ellipse-1024-ftyp-first": JOB_1234 + ["FTYP=1", "DBL=18.00"] + trace(1, ellipse(1024)),
    # The trace formats, with and without DBL.
    "job-ellipse-fmt1-400": JOB_1234 + trace(1, E400),
    "job-ellipse-fmt2-400": JOB_1234 + trace(2, E400),
    "job-ellipse-fmt3-400-dbl-spaced": JOB_1234 + ["DBL = 17.25 "] + trace(3, E400),
    "job-ellipse-fmt2-500": JOB_1234 + trace(2, ellipse(500)),
    "job-ellipse-fmt3-500": JOB_1234 + trace(3, ellipse(500)),
    "job-ellipse-fmt4-500": JOB_1234 + trace(4, ellipse(500)),
    "job-ellipse-fmt4-512": JOB_1234 + trace(4, ellipse(512)),
    # Both eyes: the right one (26 x 21 mm) first, the left one 24 x 20 mm.
    "job-two-eyes": JOB_1234 + ["DBL=18.50", "FTYP=1", "ETYP=2"] + trace(1, E400) +
    trace(1, ellipse(400, 24, 20), "L") + ["Z=1;2;3"],
    # DBL with a point, and with a comma that is no number on the wire.
    "job-dbl-point": JOB_1234 + ["DBL=20.50"] + trace(1, E400),
    "job-dbl-comma": JOB_1234 + ["DBL=20,50"] + trace(3, E400),
    # Traces the window cannot take.
    "job-three-digit-radius": JOB_1234 + [trace(1, E400)[0], "R=123" + trace(1, E400)[1][6:]] +
    trace(1, E400)[2:],
    "job-too-few-points": JOB_1234 + ["TRCFMT=1;400;E;R;F"] + encode_fmt1(E400[10:]),
    "job-r-without-trcfmt": JOB_1234 + encode_fmt1(E400),
    "job-fmt4-beyond-codec": JOB_1234 + ["TRCFMT=4;5000;E;R;F", "R=00"],
    "job-trcfmt-unreadable": JOB_1234 + ["TRCFMT=x"] + encode_fmt1(E400),
    # Records around a binary trace: read by their pattern, whatever their case.
    "job-records-by-pattern": JOB_1234 + ["FOO=X=1", "FTYP=1", "NAME=two words", "ETYP=2", "ftyp=3",
                                          "EMPTY="] + trace(2, E400),
    # Format 2 radii 0x2020 (two spaces), then 0x2041 and 0x213D, which end
    # the line in "A =!".
    "job-binary-equals-spaces": JOB_1234 + trace(2, [0x2020] * 398 + [0x2041, 0x213D]),
    "job-status3": ["ANS=7", "STATUS=3"],
}

# --- Job replies serving a sample job -------------------------------------------
#
# The simulator serves a stored job's first trace resampled to the count asked
# for (by the rule of ../presets/make_presets.py) in the format asked for,
# after the job's own records; here for tray 77 holding each of three samples.

sys.path.insert(0, str(HERE.parent / "presets"))
from make_presets import resample  # noqa: E402



def served_records(name):
    """The records of a stored job the host echoes: every label=value line
    outside the data blocks (a label ending in FMT opens one; its R, A, T and Z
    lines belong to it), without the host's own labels, values trimmed."""
    lines = (SAMPLES / name).read_bytes().decode("latin-1").replace("\r\n", "\n").split("\n")
    records, block = [], False
    for line in lines:
        label, equals, value = line.partition("=")
        label = label.strip(" ")
        if not equals:
            continue
        if label.upper().endswith("FMT"):
            block = True
            continue
        if block and label.upper() in ("R", "A", "T", "Z"):
            continue
        block = False
        if label.upper() not in OWN_LABELS | {"CRC"}:
            records.append(label + "=" + value.strip(" "))
    return records


SERVED = {}
for sample in ("R360_3", "STHKFMT", "R1000_1"):
    echoed, first = served_records(sample + ".oma"), sample_job(sample + ".oma")[1]
    for fmt in (1, 2, 3, 4):
        for count in (400, 500, 512):
            SERVED["served-%s-fmt%d-%d" % (sample, fmt, count)] = \
                ["ANS=7", "STATUS=0", 'JOB="77"'] + echoed + trace(fmt, resample(first, count))


FAILURES = []


def fail(name, why):
    FAILURES.append("%s.reply: %s" % (name, why))
    raise LookupError


def main():
    write = sys.argv[1:] == ["--write"]
    expected = {name: frame(records) for name, records in SHORT.items()}
    expected.update({name: frame(records, crc) for name, (records, crc) in SHORT_CRC.items()})
    expected.update({name: frame_body(body) for name, body in RAW.items()})
    expected.update({name: frame(records) for name, records in DRAWN.items()})
    expected.update({name: frame(records) for name, records in SERVED.items()})
    if write:
        check_encoders()
        if FAILURES:
            print("\n".join(FAILURES), file=sys.stderr)
            return 1
        for name, data in expected.items():
            (HERE / (name + ".reply")).write_bytes(data.encode("latin-1"))
            print(name + ".reply")
        return 0
    check_encoders()
    seen = {p.stem for p in HERE.glob("*.reply")}
    jobs = {"job-fmt%s" % f: f for f in "1234"}
    for name in sorted(seen - set(expected) - set(jobs) - {"job-hangup"}):
        FAILURES.append(name + ".reply: no layout or check here")
    for name, data in sorted(expected.items()):
        path = HERE / (name + ".reply")
        if not path.exists():
            FAILURES.append(name + ".reply: missing")
        elif path.read_bytes().decode("latin-1") != data:
            FAILURES.append("%s.reply: %r, the layout gives %r" % (name, path.read_bytes(), data))
    whole = {}
    for name, fmt in sorted(jobs.items()):
        try:
            whole[name] = check_job(name, fmt, "R360_3", "R360_3.oma")
        except LookupError:
            pass
    # A host that hangs up halfway through the format 1 job reply.
    if "job-fmt1" in whole:
        hung = (HERE / "job-hangup.reply").read_bytes().decode("latin-1")
        if hung != whole["job-fmt1"][:len(whole["job-fmt1"]) // 2]:
            FAILURES.append("job-hangup.reply: not the first half of job-fmt1.reply")
    for line in FAILURES:
        print(line, file=sys.stderr)
    if not FAILURES:
        print("%d golden replies checked" % len(seen))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
