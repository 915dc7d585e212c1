#pragma once

// Trace data of the R records: format 1 (ASCII), 2 (binary absolute),
// 3 (binary differential) and 4 (packed nibble stream), and the escaping of
// control bytes that formats 2 to 4 share. A radius string is consecutive
// four-character decimal groups, hundredths of a millimetre.
//
// Encoders of formats 2 to 4 throw EOmaConvert for a group that is not an
// integer. Decoders throw EOmaFormat for a value that does not fit a group
// (0 to 9999) and for format 4 input beyond the codec's limits.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "oma/OmaErrors.h"

// Largest point count of the format 4 codec.
inline constexpr int MaxTracePoints = 4096;
// Fewer points describe no frame an edger could cut: no trace the program
// writes or sends has fewer.
inline constexpr int MinTracePoints = 100;

// Empty when the program may write or send a trace of Count points;
// otherwise "Cannot <what> a trace of <count> points (100 to 4096)".
std::string PointCountFault(long long count, std::string_view what);
// Largest unescaped format 4 payload the decoder accepts.
inline constexpr std::size_t MaxFmt4Payload = 8193;

// ACK, LF, CR, XON, XOFF, NAK, SUB, ESC, FS, GS and RS become ESC + (byte + 128).
std::string OmaEscape(std::string_view payload);
// ESC drops out and the next byte loses its top bit; a final ESC gives a zero byte.
std::string OmaUnescape(std::string_view escaped);

// "R=" records of up to 15 groups separated by ";", each line closed by CR.
std::string EncodeTraceFmt1(std::string_view radii);
// The characters '0' to '9' of text, in order.
std::string KeepDigits(std::string_view text);

std::string EncodeTraceFmt2(std::string_view radii);
std::string DecodeTraceFmt2(std::string_view escaped);

std::string EncodeTraceFmt3(std::string_view radii);
// Fewer than two bytes give an empty radius string; a marker cut short by the
// end of the payload is dropped.
std::string DecodeTraceFmt3(std::string_view escaped);

// radii holds 1 to MaxTracePoints groups.
std::string EncodeTraceFmt4(std::string_view radii);
// Always exactly count points (0 to MaxTracePoints): a short payload reads
// on as zero bytes.
std::string DecodeTraceFmt4(std::string_view escaped, int count);

// The one choice of codec by trace format for binary traces: the escaped
// payload of format 2, 3 or 4, and its decoding (count is used by format 4
// only). Any other format throws std::invalid_argument.
std::string EncodeBinaryTrace(int format, std::string_view radii);
std::string DecodeBinaryTrace(int format, std::string_view escaped, int count);

// Writes items of 1, 2 or 4 nibbles into a byte buffer, high nibble first.
// Writing past the buffer throws std::length_error.
class TNibbleWriter {
public:
    explicit TNibbleWriter(std::span<std::uint8_t> buffer) : FBuffer(buffer) {}
    void PutNibbles(int item, int width);
    // Nibbles written so far.
    std::size_t Counter() const { return FCounter; }
    // Bytes touched so far.
    std::size_t ByteCount() const { return (FCounter + 1) / 2; }

private:
    void PutNibble(unsigned nibble);

    std::span<std::uint8_t> FBuffer;
    std::size_t FCounter = 0;
};

// Reads items of 1, 2 or 4 nibbles; past the end of the buffer it reads zeros.
class TNibbleReader {
public:
    explicit TNibbleReader(std::span<const std::uint8_t> buffer) : FBuffer(buffer) {}
    // Width 1 and 2 are sign-extended; width 4 is the 16-bit value, low byte first.
    int GetNibbles(int width);
    std::size_t Counter() const { return FCounter; }
    std::size_t ByteCount() const { return (FCounter + 1) / 2; }

private:
    unsigned GetNibble();

    std::span<const std::uint8_t> FBuffer;
    std::size_t FCounter = 0;
};

// Packs values into the format 4 nibble stream; out needs 4 bytes per value
// (std::length_error otherwise). Returns the number of bytes written.
std::size_t PackTrace(std::span<const std::int16_t> values, std::span<std::uint8_t> out);
// Reads values.size() values from the nibble stream; returns the number of
// bytes the items touched.
std::size_t UnpackTrace(std::span<const std::uint8_t> in, std::span<std::int16_t> values);
