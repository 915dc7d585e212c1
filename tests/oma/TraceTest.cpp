#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "oma/OmaTrace.h"

namespace {

using namespace std::string_literals;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Radii(const std::vector<int>& values) {
    std::string out;
    char group[8];
    for (int v : values) {
        std::snprintf(group, sizeof group, "%.4d", v);
        out += group;
    }
    return out;
}

const std::vector<int> WorkedValues = {2500, 2501, 2503, 2506, 2510, 2520, 2400, 2400, 2401};

TEST(TraceFormats, WorkedExampleFormat2) {
    const std::string wire = Bytes({0xC4, 0x09, 0xC5, 0x09, 0xC7, 0x09, 0xCA, 0x09, 0xCE, 0x09,
                                    0xD8, 0x09, 0x60, 0x09, 0x60, 0x09, 0x61, 0x09});
    EXPECT_EQ(EncodeTraceFmt2(Radii(WorkedValues)), wire);
    EXPECT_EQ(DecodeTraceFmt2(wire), Radii(WorkedValues));
}

TEST(TraceFormats, WorkedExampleFormat3) {
    const std::string wire =
        Bytes({0xC4, 0x09, 0x01, 0x02, 0x03, 0x04, 0x1B, 0x8A, 0x88, 0x00, 0x01});
    EXPECT_EQ(EncodeTraceFmt3(Radii(WorkedValues)), wire);
    EXPECT_EQ(DecodeTraceFmt3(wire), Radii(WorkedValues));

    const std::vector<int> step = {2500, 2501, 2300, 2290};
    const std::string stepWire = Bytes({0xC4, 0x09, 0x01, 0x80, 0xFC, 0x08, 0xF6});
    EXPECT_EQ(EncodeTraceFmt3(Radii(step)), stepWire);
    EXPECT_EQ(DecodeTraceFmt3(stepWire), Radii(step));
}

TEST(TraceFormats, WorkedExampleFormat4) {
    const std::string wire =
        Bytes({0xC4, 0x09, 0x00, 0x80, 0x01, 0x80, 0x1B, 0x91, 0x16, 0x88, 0x80, 0x08, 0x01});
    EXPECT_EQ(EncodeTraceFmt4(Radii(WorkedValues)), wire);
    EXPECT_EQ(DecodeTraceFmt4(wire, 9), Radii(WorkedValues));
}

TEST(TraceFormats, Format3DifferenceLimits) {
    // A decrease of 127 is one byte (129); of 128 it needs the marker.
    EXPECT_EQ(EncodeTraceFmt3(Radii({1000, 873})), Bytes({0xE8, 0x03, 0x81}));
    EXPECT_EQ(EncodeTraceFmt3(Radii({1000, 872})), Bytes({0xE8, 0x03, 0x80, 0x68, 0x03}));
    EXPECT_EQ(EncodeTraceFmt3(Radii({1000, 1127})), Bytes({0xE8, 0x03, 0x7F}));
    EXPECT_EQ(EncodeTraceFmt3(Radii({1000, 1128})), Bytes({0xE8, 0x03, 0x80, 0x68, 0x04}));
}

TEST(Escaping, ControlBytesOnly) {
    const std::vector<int> escaped = {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30};
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const bool isEscaped = std::find(escaped.begin(), escaped.end(), b) != escaped.end();
        EXPECT_EQ(OmaEscape(one), isEscaped ? Bytes({27, b + 128}) : one) << b;
        EXPECT_EQ(OmaUnescape(OmaEscape(one)), one) << b;
    }
    EXPECT_EQ(OmaEscape(Bytes({17})), Bytes({27, 145}));
    EXPECT_EQ(OmaUnescape(Bytes({27, 145})), Bytes({17}));
    EXPECT_EQ(OmaUnescape(Bytes({27, 193})), Bytes({65}));
    EXPECT_EQ(OmaUnescape(Bytes({65, 27})), Bytes({65, 0}));
    EXPECT_EQ(OmaUnescape(Bytes({27, 27, 27})), Bytes({27, 0}));
}

TEST(Format1, RecordsOfFifteenValues) {
    std::vector<int> values;
    for (int i = 0; i < 512; ++i) values.push_back(i * 7 % 10000);
    const std::string radii = Radii(values);
    const std::string out = EncodeTraceFmt1(radii);

    std::vector<std::string> lines;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find('\r', start);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 35u);
    for (std::size_t i = 0; i < 34; ++i) EXPECT_EQ(lines[i].size(), 76u) << i;
    EXPECT_EQ(lines[34], "R=" + radii.substr(510 * 4, 4) + ";" + radii.substr(511 * 4, 4));
    EXPECT_EQ(lines[0].substr(0, 17), "R=0000;0007;0014;");

    std::string back;
    for (const auto& line : lines) back += KeepDigits(line.substr(2));
    EXPECT_EQ(back, radii);
}

TEST(Format1, SmallCases) {
    EXPECT_EQ(EncodeTraceFmt1(""), "");
    EXPECT_EQ(EncodeTraceFmt1("0123"), "R=0123\r");
    // Trailing characters short of a group are ignored; groups are copied as they stand.
    EXPECT_EQ(EncodeTraceFmt1("0123ab-0059"), "R=0123;ab-0\r");
    EXPECT_EQ(KeepDigits("2500;2501 ;2502"), "250025012502");
    EXPECT_EQ(KeepDigits("\x1E R=-12a;b"), "12");
}

TEST(Encoders, GroupsMustBeIntegers) {
    for (auto encode : {EncodeTraceFmt2, EncodeTraceFmt3, EncodeTraceFmt4}) {
        try {
            encode("250012a4");
            FAIL() << "no conversion error";
        } catch (const EOmaConvert& e) {
            EXPECT_STREQ(e.what(), "'12a4' is not a valid integer value");
        }
        EXPECT_THROW(encode("2500 123"), EOmaConvert);
        EXPECT_THROW(encode("2500----"), EOmaConvert);
    }
    // A minus sign and three digits is a negative value, sent as its low 16 bits.
    EXPECT_EQ(EncodeTraceFmt2("-005"), Bytes({0xFB, 0xFF}));
    EXPECT_EQ(EncodeTraceFmt2("+123"), Bytes({0x7B, 0x00}));
}

TEST(Decoders, RejectValuesOutsideTheGrid) {
    try {
        DecodeTraceFmt2(Bytes({0xC4, 0x09, 0x10, 0x27}));
        FAIL() << "10000 accepted";
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(),
                     "Invalid trace data: point 2 has the value 10000, outside 0 to 9999");
    }
    EXPECT_EQ(DecodeTraceFmt2(Bytes({0x0F, 0x27, 0x00, 0x00})), "99990000");
    EXPECT_THROW(DecodeTraceFmt2(Bytes({0xFF, 0xFF})), EOmaFormat);

    // Format 3 runs below zero: 5 then -10 gives -5.
    try {
        DecodeTraceFmt3(Bytes({0x05, 0x00, 0xF6}));
        FAIL() << "negative accepted";
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(), "Invalid trace data: point 2 has the value -5, outside 0 to 9999");
    }
    EXPECT_THROW(DecodeTraceFmt3(Bytes({0x0F, 0x27, 0x01})), EOmaFormat);
    EXPECT_THROW(DecodeTraceFmt3(Bytes({0x00, 0x00, 0x80, 0x10, 0x27})), EOmaFormat);

    // Format 4: 16-bit item 10000, and 0 minus 1 which wraps to 65535.
    EXPECT_THROW(DecodeTraceFmt4(Bytes({0x10, 0x27}), 1), EOmaFormat);
    EXPECT_THROW(DecodeTraceFmt4(Bytes({0x00, 0x00, 0x00, 0x80, 0xFF}), 2), EOmaFormat);
}

TEST(Decoders, ShortAndCutPayloads) {
    EXPECT_EQ(DecodeTraceFmt2(""), "");
    EXPECT_EQ(DecodeTraceFmt2(Bytes({0xC4, 0x09, 0xC5})), "2500");
    EXPECT_EQ(DecodeTraceFmt3(""), "");
    EXPECT_EQ(DecodeTraceFmt3(Bytes({0xC4})), "");
    EXPECT_EQ(DecodeTraceFmt3(Bytes({0x1B})), "");
    // A marker without its two value bytes is dropped.
    EXPECT_EQ(DecodeTraceFmt3(Bytes({0xC4, 0x09, 0x01, 0x80})), "25002501");
    EXPECT_EQ(DecodeTraceFmt3(Bytes({0xC4, 0x09, 0x01, 0x80, 0x05})), "25002501");

    // Format 4 always gives the requested count; zeros continue the stream.
    EXPECT_EQ(DecodeTraceFmt4("", 3), "000000000000");
    EXPECT_EQ(DecodeTraceFmt4(Bytes({0xC4, 0x09}), 3), "250000000000");
    // In 8-bit mode a zero difference keeps the value.
    EXPECT_EQ(DecodeTraceFmt4(Bytes({0xC4, 0x09, 0x00, 0x80, 0x01}), 3), "250025012501");
    // In 4-bit mode a zero second difference repeats the last step.
    EXPECT_EQ(DecodeTraceFmt4(Bytes({0xC4, 0x09, 0x00, 0x80, 0x02, 0x80}), 4), "2500250225042506");
    EXPECT_EQ(DecodeTraceFmt4(Bytes({0xC4, 0x09}), 0), "");
}

TEST(Decoders, Format4BeforeAnyValue) {
    // Into 4-bit mode straight away: the missing previous value counts as 0.
    EXPECT_EQ(DecodeTraceFmt4(Bytes({0x00, 0x80, 0x80, 0x30}), 2), "00030006");
}

TEST(Format4Limits, RejectedWithClearMessages) {
    try {
        DecodeTraceFmt4("", 4097);
        FAIL();
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(),
                     "Invalid trace data: 4097 points requested, format 4 allows 0 to 4096");
    }
    EXPECT_THROW(DecodeTraceFmt4("", -1), EOmaFormat);
    EXPECT_EQ(DecodeTraceFmt4("", 4096).size(), 4096u * 4);

    const std::string limit(8193, '\x01');
    EXPECT_NO_THROW(DecodeTraceFmt4(limit, 1));
    try {
        DecodeTraceFmt4(limit + "\x01", 1);
        FAIL();
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(),
                     "Invalid trace data: format 4 data of 8194 bytes exceeds 8193 bytes");
    }
    // The limit applies after unescaping.
    std::string escapedLimit;
    for (int i = 0; i < 8193; ++i) escapedLimit += "\x1B\x81";
    EXPECT_NO_THROW(DecodeTraceFmt4(escapedLimit, 1));

    try {
        EncodeTraceFmt4("");
        FAIL();
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(), "Cannot send an empty trace in format 4");
    }
    EXPECT_THROW(EncodeTraceFmt4("123"), EOmaFormat);
    try {
        EncodeTraceFmt4(std::string(4097 * 4, '1'));
        FAIL();
    } catch (const EOmaFormat& e) {
        EXPECT_STREQ(e.what(), "Cannot send a trace of 4097 points in format 4 (at most 4096)");
    }
    const std::string full(4096 * 4, '1');
    EXPECT_EQ(DecodeTraceFmt4(EncodeTraceFmt4(full), 4096), full);
}

TEST(Nibbles, CursorRules) {
    std::vector<std::uint8_t> buf(6, 0xEE);
    TNibbleWriter w(buf);
    w.PutNibbles(0x3, 1);  // at a boundary: sets the whole byte, stays on it
    EXPECT_EQ(buf[0], 0x30);
    w.PutNibbles(0xAB, 2);  // odd: fills the low half, then starts the next byte
    EXPECT_EQ(buf[0], 0x3A);
    EXPECT_EQ(buf[1], 0xB0);
    w.PutNibbles(0x1234, 4);  // nibble order 3, 4, 1, 2
    EXPECT_EQ(buf[1], 0xB3);
    EXPECT_EQ(buf[2], 0x41);
    EXPECT_EQ(buf[3], 0x20);
    EXPECT_EQ(w.Counter(), 7u);
    EXPECT_EQ(w.ByteCount(), 4u);
    EXPECT_THROW(w.PutNibbles(0, 3), std::invalid_argument);

    TNibbleReader r(buf);
    EXPECT_EQ(r.GetNibbles(1), 3);
    EXPECT_EQ(r.GetNibbles(2), static_cast<std::int8_t>(0xAB));
    EXPECT_EQ(r.GetNibbles(4), 0x1234);
    EXPECT_EQ(r.GetNibbles(1), 0);
    EXPECT_EQ(r.GetNibbles(1), -2);      // 0xE, left from the initial fill
    EXPECT_EQ(r.GetNibbles(4), 0xE0EE);  // its last nibble lies past the end
    EXPECT_EQ(r.GetNibbles(4), 0);       // past the end
}

TEST(Nibbles, WriterStaysInItsBuffer) {
    std::vector<std::uint8_t> buf(2);
    TNibbleWriter w(std::span<std::uint8_t>(buf).first(1));
    w.PutNibbles(0x12, 2);
    EXPECT_THROW(w.PutNibbles(1, 1), std::length_error);
    EXPECT_EQ(buf[1], 0);

    const std::int16_t values[2] = {1, 2};
    std::vector<std::uint8_t> small(7);
    EXPECT_THROW(PackTrace(values, small), std::length_error);
}

// Smooth shapes with random bumps and jumps; every value 0..9999.
std::vector<int> RandomShape(std::mt19937& rng, int n) {
    std::uniform_int_distribution<int> base(500, 9000), jump(0, 40), any(0, 9999), small(-9, 9);
    std::vector<int> values;
    int v = base(rng);
    for (int i = 0; i < n; ++i) {
        const int kind = jump(rng);
        if (kind == 0)
            v = any(rng);
        else if (kind == 1)
            v += small(rng) * 40;
        else if (kind < 5)
            v += small(rng) * 15;
        else
            v += small(rng) / 3;
        v = std::clamp(v, 0, 9999);
        values.push_back(v);
    }
    return values;
}

// Values whose bytes are control codes, so escaping is exercised in every format.
const std::vector<int> EscapeHeavy = {0x0D0D, 0x0A0A, 0x0D0A,     6,      10, 13,   17,     19,
                                      21,     26,     27,         28,     29, 30,   0x1B1B, 0x1C1D,
                                      0x1E06, 0x1511, 0x1313,     0x1A1B, 0,  9999, 0,      9999,
                                      30,     17,     0x2710 - 1, 0x1D1E, 13, 3341};

// Steps that force every format 4 switch: 16 to 8, 8 to 4, 4 to 8, 4 to 16, 8 to 16.
const std::vector<int> ModeChanges = {9000, 9001, 9003, 9005, 9007, 9100, 100,  101,  102,
                                      103,  9999, 0,    7,    9999, 9998, 9997, 9990, 9000,
                                      8000, 8000, 8000, 8127, 8001, 7875, 7749, 7749, 7750};

TEST(RoundTrip, EveryFormatOverRandomShapes) {
    std::mt19937 rng(20240611);
    std::vector<std::vector<int>> shapes = {EscapeHeavy, ModeChanges, {0}, {9999}, {5, 4}};
    for (int n : {1, 2, 3, 400, 500, 512, 1024})
        for (int k = 0; k < 6; ++k) shapes.push_back(RandomShape(rng, n));
    for (const auto& values : shapes) {
        const std::string radii = Radii(values);
        const auto n = static_cast<int>(values.size());
        for (const std::string& wire :
             {EncodeTraceFmt2(radii), EncodeTraceFmt3(radii), EncodeTraceFmt4(radii)}) {
            EXPECT_EQ(wire.find_first_of("\r\n\x06\x15\x1C\x1D\x1E\x11\x13\x1A"s),
                      std::string::npos);
        }
        EXPECT_EQ(DecodeTraceFmt2(EncodeTraceFmt2(radii)), radii);
        EXPECT_EQ(DecodeTraceFmt3(EncodeTraceFmt3(radii)), radii);
        EXPECT_EQ(DecodeTraceFmt4(EncodeTraceFmt4(radii), n), radii);
        std::string digits;
        const std::string records = EncodeTraceFmt1(radii);
        for (std::size_t start = 0; start < records.size();) {
            const std::size_t end = records.find('\r', start);
            digits += KeepDigits(records.substr(start + 2, end - start - 2));
            start = end + 1;
        }
        EXPECT_EQ(digits, radii);
    }
}

TEST(RoundTrip, PackTraceOverEveryMode) {
    // The whole 16-bit range except -32768, which is the 16-bit marker itself.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> any(-32767, 32767), step(-300, 300), kind(0, 3);
    std::vector<std::int16_t> values;
    int v = 0;
    for (int i = 0; i < 4096; ++i) {
        const int k = kind(rng);
        v = k == 0 ? any(rng) : k == 1 ? v + step(rng) : v + step(rng) / 40;
        v = std::clamp(v, -32767, 32767);
        values.push_back(static_cast<std::int16_t>(v));
    }
    std::vector<std::uint8_t> buffer(values.size() * 4);
    const std::size_t length = PackTrace(values, buffer);
    std::vector<std::int16_t> back(values.size());
    EXPECT_EQ(UnpackTrace(std::span(buffer).first(length), back), length);
    EXPECT_EQ(back, values);
}

// Every decoder answers malformed input with a radius string or EOmaFormat.
void DecodeAll(const std::string& wire, int count) {
    for (int format = 2; format <= 4; ++format) {
        try {
            const std::string radii = format == 2   ? DecodeTraceFmt2(wire)
                                      : format == 3 ? DecodeTraceFmt3(wire)
                                                    : DecodeTraceFmt4(wire, count);
            EXPECT_EQ(radii.size() % 4, 0u);
            EXPECT_EQ(KeepDigits(radii), radii);
            if (format == 4) {
                EXPECT_EQ(radii.size(), static_cast<std::size_t>(count) * 4);
            }
        } catch (const EOmaFormat&) {
        }
    }
}

TEST(Robustness, EveryPrefixDecodesCleanly) {
    std::mt19937 rng(99);
    std::vector<int> values = EscapeHeavy;
    for (int v : ModeChanges) values.push_back(v);
    for (int v : RandomShape(rng, 200)) values.push_back(v);
    const std::string radii = Radii(values);
    const auto n = static_cast<int>(values.size());
    for (const std::string& wire :
         {EncodeTraceFmt2(radii), EncodeTraceFmt3(radii), EncodeTraceFmt4(radii)}) {
        for (std::size_t len = 0; len <= wire.size(); ++len) DecodeAll(wire.substr(0, len), n);
    }
    // A prefix of a format 2 or 3 payload cut between items gives a prefix of the shape.
    const std::string f3 = EncodeTraceFmt3(radii);
    const std::string cut = DecodeTraceFmt3(f3.substr(0, f3.size() / 2));
    EXPECT_EQ(cut, radii.substr(0, cut.size()));
}

TEST(Robustness, BitFlipsDecodeCleanly) {
    std::mt19937 rng(5);
    const std::string radii = Radii(RandomShape(rng, 64)) + Radii(ModeChanges);
    for (const std::string& wire :
         {EncodeTraceFmt2(radii), EncodeTraceFmt3(radii), EncodeTraceFmt4(radii)}) {
        for (std::size_t i = 0; i < wire.size(); ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                std::string flipped = wire;
                flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
                DecodeAll(flipped, static_cast<int>(radii.size() / 4));
            }
        }
    }
}

}  // namespace
