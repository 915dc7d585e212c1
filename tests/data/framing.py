"""The packet framing the golden packets and replies are written in, from the
message layouts and not from the program: FS, the records each ended by CR,
RS, "CRC=" with the decimal CRC-16 of the records and the RS, CR, GS."""

FS, GS, RS, CR = "\x1c", "\x1d", "\x1e", "\r"


def crc16(data):
    """CRC-16, polynomial 0x1021, start 0, most significant bit first."""
    reg = 0
    for b in data.encode("latin-1"):
        reg ^= b << 8
        for _ in range(8):
            reg = ((reg << 1) ^ 0x1021) if reg & 0x8000 else reg << 1
            reg &= 0xFFFF
    return reg


def frame_body(body, crc=None):
    """Body (records already ended) framed; Crc, when given, stands in the CRC record."""
    return FS + body + RS + "CRC=" + str(crc16(body + RS) if crc is None else crc) + CR + GS


def frame(records, crc=None):
    """Records framed, each ended by CR."""
    return frame_body("".join(r + CR for r in records), crc)
