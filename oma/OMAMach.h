#pragma once

// OMA records: control characters, packet framing with its checksum record,
// line splitting of received text and the readable form used by the log.
// The trace data encodings are in "oma/OmaTrace.h".

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr char ACK = '\x06';
inline constexpr char NAK = '\x15';
inline constexpr char ESC = '\x1B';
inline constexpr char FS = '\x1C';
inline constexpr char GS = '\x1D';
inline constexpr char RS = '\x1E';
inline constexpr char CR = '\r';
inline constexpr char LF = '\n';

// CRC-16/XMODEM: polynomial 0x1021, initial value 0, MSB first, no final xor.
std::uint16_t OmaCRC16(std::string_view data);

// FS + body + RS + "CRC=" + checksum + CR + GS. The body holds the records,
// each already closed by CR; the checksum covers body and RS.
std::string BuildPacket(std::string_view body);

// What a received packet's checksum record says of it.
struct TPacketCheck {
    enum TKind : std::uint8_t {
        ckGood,     // the record matches the bytes it covers
        ckBad,      // it does not, or cannot be read: the packet was damaged
        ckMissing,  // the packet carries no checksum record
    } Kind = ckMissing;
    std::uint16_t Expected = 0;  // ckGood, ckBad: OmaCRC16 of the covered bytes
    std::string Received;        // ckGood, ckBad: the record as it came, line ends left off
};

// Checks Packet, received from its FS (first byte) up to its last GS: the
// record after the last RS before that GS must read "CRC=" and the decimal
// OmaCRC16 of every byte after FS up to and including that RS (leading zeros
// and blanks around the value are taken). A packet with RS but no readable
// record, or with a "CRC=" record but no RS before it, is damaged; one with
// neither carries no checksum. Linear in the packet's size.
TPacketCheck CheckPacket(std::string_view packet);

// Removes the first line (ended by CR or LF, whichever comes first) from
// buffer and returns it without its terminator; line ends that follow it are
// removed too. Without a line end the whole buffer is the line.
std::string ExtractLine(std::string& buffer);

// Readable form of raw line text for the communication log: control bytes and
// bytes above 0x7E are named, and each CR, LF or CR LF is followed by a line
// break (CR LF).
std::string RenderControlChars(std::string_view raw);
