#include "oma/OmaTrace.h"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::array<bool, 256> MakeEscapeSet() {
    std::array<bool, 256> set{};
    for (int b : {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30})
        set[static_cast<std::size_t>(b)] = true;
    return set;
}

constexpr std::array<bool, 256> EscapeSet = MakeEscapeSet();

constexpr int GroupWidth = 4;

std::size_t GroupCount(std::string_view radii) {
    return radii.size() / GroupWidth;
}

// The decimal integer conversion of a group: an optional sign and at least
// one digit, nothing else.
int ReadGroup(std::string_view radii, std::size_t index) {
    const std::string_view group = radii.substr(index * GroupWidth, GroupWidth);
    std::size_t i = 0;
    bool negative = false;
    if (group[0] == '-' || group[0] == '+') {
        negative = group[0] == '-';
        i = 1;
    }
    if (i == group.size())
        throw EOmaConvert("'" + std::string(group) + "' is not a valid integer value");
    int value = 0;
    for (; i < group.size(); ++i) {
        const char c = group[i];
        if (c < '0' || c > '9')
            throw EOmaConvert("'" + std::string(group) + "' is not a valid integer value");
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// A decoded value that does not fit the four-digit grid is refused rather
// than clamped: a clamped radius would silently change the shape.
void AppendValue(std::string& radii, long value) {
    if (value < 0 || value > 9999) {
        throw EOmaFormat("Invalid trace data: point " +
                         std::to_string(radii.size() / GroupWidth + 1) + " has the value " +
                         std::to_string(value) + ", outside 0 to 9999");
    }
    const auto v = static_cast<int>(value);
    radii += static_cast<char>('0' + v / 1000);
    radii += static_cast<char>('0' + v / 100 % 10);
    radii += static_cast<char>('0' + v / 10 % 10);
    radii += static_cast<char>('0' + v % 10);
}

void AppendWord(std::string& bytes, unsigned value) {
    bytes += static_cast<char>(value & 0xFFu);
    bytes += static_cast<char>((value >> 8) & 0xFFu);
}

unsigned Byte(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

std::int16_t Wrap16(int value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

}  // namespace

std::string OmaEscape(std::string_view payload) {
    std::string out;
    out.reserve(payload.size() + payload.size() / 8 + 1);
    for (char c : payload) {
        const auto b = static_cast<unsigned char>(c);
        if (EscapeSet[b]) {
            out += '\x1B';
            out += static_cast<char>(b + 128);
        } else {
            out += c;
        }
    }
    return out;
}

std::string OmaUnescape(std::string_view escaped) {
    std::string out;
    out.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\x1B') {
            out += escaped[i];
        } else if (++i < escaped.size()) {
            out += static_cast<char>(Byte(escaped, i) & 0x7Fu);
        } else {
            out += '\0';
        }
    }
    return out;
}

std::string EncodeTraceFmt1(std::string_view radii) {
    std::string out;
    std::string line = "R=";
    const std::size_t n = GroupCount(radii);
    for (std::size_t i = 0; i < n; ++i) {
        if (line.size() > 2) line += ';';
        line.append(radii.substr(i * GroupWidth, GroupWidth));
        if (line.size() > 75) {
            out += line;
            out += '\r';
            line = "R=";
        }
    }
    if (line.size() > 2) {
        out += line;
        out += '\r';
    }
    return out;
}

std::string KeepDigits(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9') out += c;
    return out;
}

std::string EncodeTraceFmt2(std::string_view radii) {
    const std::size_t n = GroupCount(radii);
    std::string bytes;
    bytes.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i)
        AppendWord(bytes, static_cast<unsigned>(ReadGroup(radii, i)));
    return OmaEscape(bytes);
}

std::string DecodeTraceFmt2(std::string_view escaped) {
    const std::string bytes = OmaUnescape(escaped);
    std::string radii;
    radii.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        AppendValue(radii, Byte(bytes, i) | (Byte(bytes, i + 1) << 8));
    return radii;
}

std::string EncodeTraceFmt3(std::string_view radii) {
    const std::size_t n = GroupCount(radii);
    std::string bytes;
    bytes.reserve(n + 2);
    int previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int a = ReadGroup(radii, i) & 0xFFFF;
        const int diff = a - previous;
        if (i == 0) {
            AppendWord(bytes, static_cast<unsigned>(a));
        } else if (diff >= -127 && diff <= 127) {
            bytes += static_cast<char>(diff & 0xFF);
        } else {
            bytes += '\x80';
            AppendWord(bytes, static_cast<unsigned>(a));
        }
        previous = a;
    }
    return OmaEscape(bytes);
}

std::string DecodeTraceFmt3(std::string_view escaped) {
    const std::string bytes = OmaUnescape(escaped);
    std::string radii;
    if (bytes.size() < 2) return radii;
    radii.reserve(bytes.size() * 4);
    // Every value is checked as soon as it is made, so v cannot run away.
    long v = Byte(bytes, 0) | (Byte(bytes, 1) << 8);
    AppendValue(radii, v);
    for (std::size_t i = 2; i < bytes.size();) {
        const unsigned b = Byte(bytes, i);
        if (b == 0x80) {
            if (i + 2 >= bytes.size()) break;
            v = Byte(bytes, i + 1) | (Byte(bytes, i + 2) << 8);
            i += 3;
        } else {
            v += static_cast<std::int8_t>(static_cast<std::uint8_t>(b));
            ++i;
        }
        AppendValue(radii, v);
    }
    return radii;
}

void TNibbleWriter::PutNibble(unsigned nibble) {
    const std::size_t pos = FCounter / 2;
    if (pos >= FBuffer.size()) throw std::length_error("nibble buffer full");
    if (FCounter % 2 == 0)
        FBuffer[pos] = static_cast<std::uint8_t>((nibble & 0xFu) << 4);
    else
        FBuffer[pos] = static_cast<std::uint8_t>((FBuffer[pos] & 0xF0u) | (nibble & 0xFu));
    ++FCounter;
}

void TNibbleWriter::PutNibbles(int item, int width) {
    const auto x = static_cast<unsigned>(item);
    switch (width) {
        case 1:
            PutNibble(x);
            break;
        case 2:
            PutNibble(x >> 4);
            PutNibble(x);
            break;
        case 4:
            PutNibble(x >> 4);
            PutNibble(x);
            PutNibble(x >> 12);
            PutNibble(x >> 8);
            break;
        default:
            throw std::invalid_argument("nibble width must be 1, 2 or 4");
    }
}

unsigned TNibbleReader::GetNibble() {
    const std::size_t pos = FCounter / 2;
    const unsigned b = pos < FBuffer.size() ? FBuffer[pos] : 0u;
    const unsigned nibble = FCounter % 2 == 0 ? b >> 4 : b & 0xFu;
    ++FCounter;
    return nibble;
}

int TNibbleReader::GetNibbles(int width) {
    switch (width) {
        case 1: {
            const unsigned n = GetNibble();
            return n >= 8 ? static_cast<int>(n) - 16 : static_cast<int>(n);
        }
        case 2: {
            const unsigned hi = GetNibble();
            const unsigned b = (hi << 4) | GetNibble();
            return static_cast<std::int8_t>(static_cast<std::uint8_t>(b));
        }
        case 4: {
            const unsigned n1 = GetNibble();
            const unsigned n2 = GetNibble();
            const unsigned n3 = GetNibble();
            const unsigned n4 = GetNibble();
            return static_cast<int>((n1 << 4) | n2 | (n3 << 12) | (n4 << 8));
        }
        default:
            throw std::invalid_argument("nibble width must be 1, 2 or 4");
    }
}

namespace {

enum class TPackMode { pm16, pm8, pm4 };

constexpr int Marker16 = 0x8000;
constexpr int MarkerTo4 = 128;
constexpr int MarkerTo16 = 129;
constexpr int MarkerTo8 = 8;

bool FitsByte(int d) {
    return d >= -126 && d <= 127;
}
bool FitsNibble(int dd) {
    return dd >= -7 && dd <= 7;
}

}  // namespace

std::size_t PackTrace(std::span<const std::int16_t> values, std::span<std::uint8_t> out) {
    // At most 7 nibbles per point (4-bit exit, 16-bit switch, absolute value).
    if (out.size() / 4 < values.size())
        throw std::length_error("PackTrace needs 4 bytes per value");
    TNibbleWriter w(out);
    TPackMode mode = TPackMode::pm16;
    int previousD = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int v = values[i];
        const int d = i == 0 ? v : Wrap16(v - values[i - 1]);
        const int dd = Wrap16(d - previousD);
        switch (mode) {
            case TPackMode::pm16:
                if (FitsByte(d)) {
                    w.PutNibbles(Marker16, 4);
                    mode = TPackMode::pm8;
                    w.PutNibbles(d, 2);
                } else {
                    w.PutNibbles(v, 4);
                }
                break;
            case TPackMode::pm8:
                if (!FitsByte(d)) {
                    w.PutNibbles(MarkerTo16, 2);
                    mode = TPackMode::pm16;
                    w.PutNibbles(v, 4);
                } else if (FitsNibble(dd)) {
                    w.PutNibbles(MarkerTo4, 2);
                    mode = TPackMode::pm4;
                    w.PutNibbles(dd, 1);
                } else {
                    w.PutNibbles(d, 2);
                }
                break;
            case TPackMode::pm4:
                if (FitsNibble(dd)) {
                    w.PutNibbles(dd, 1);
                } else {
                    w.PutNibbles(MarkerTo8, 1);
                    if (FitsByte(d)) {
                        mode = TPackMode::pm8;
                        w.PutNibbles(d, 2);
                    } else {
                        w.PutNibbles(MarkerTo16, 2);
                        mode = TPackMode::pm16;
                        w.PutNibbles(v, 4);
                    }
                }
                break;
        }
        previousD = d;
    }
    return w.ByteCount();
}

std::size_t UnpackTrace(std::span<const std::uint8_t> in, std::span<std::int16_t> values) {
    TNibbleReader r(in);
    TPackMode mode = TPackMode::pm16;
    int previousD = 0;
    // A stream that enters 4-bit mode before its first value adds to 0.
    int previous = 0;
    for (auto& value : values) {
        for (bool done = false; !done;) {
            switch (mode) {
                case TPackMode::pm16: {
                    const int x = r.GetNibbles(4);
                    if (x == Marker16) {
                        mode = TPackMode::pm8;
                    } else {
                        previousD = Wrap16(x - previous);
                        previous = Wrap16(x);
                        done = true;
                    }
                    break;
                }
                case TPackMode::pm8: {
                    const int x = r.GetNibbles(2);
                    if ((x & 0xFF) == MarkerTo4) {
                        mode = TPackMode::pm4;
                    } else if ((x & 0xFF) == MarkerTo16) {
                        mode = TPackMode::pm16;
                    } else {
                        previous = Wrap16(previous + x);
                        previousD = x;
                        done = true;
                    }
                    break;
                }
                case TPackMode::pm4: {
                    const int x = r.GetNibbles(1);
                    if (x == -MarkerTo8) {
                        mode = TPackMode::pm8;
                    } else {
                        previousD = Wrap16(previousD + x);
                        previous = Wrap16(previous + previousD);
                        done = true;
                    }
                    break;
                }
            }
        }
        value = static_cast<std::int16_t>(previous);
    }
    return r.ByteCount();
}

std::string EncodeTraceFmt4(std::string_view radii) {
    const std::size_t n = GroupCount(radii);
    if (n == 0) throw EOmaFormat("Cannot send an empty trace in format 4");
    if (n > static_cast<std::size_t>(MaxTracePoints)) {
        throw EOmaFormat("Cannot send a trace of " + std::to_string(n) +
                         " points in format 4 (at most 4096)");
    }
    std::vector<std::int16_t> values(n);
    for (std::size_t i = 0; i < n; ++i) values[i] = Wrap16(ReadGroup(radii, i));
    std::vector<std::uint8_t> buffer(4 * n);
    const std::size_t length = PackTrace(values, buffer);
    return OmaEscape(std::string_view(reinterpret_cast<const char*>(buffer.data()), length));
}

std::string DecodeTraceFmt4(std::string_view escaped, int count) {
    if (count < 0 || count > MaxTracePoints) {
        throw EOmaFormat("Invalid trace data: " + std::to_string(count) +
                         " points requested, format 4 allows 0 to 4096");
    }
    const std::string bytes = OmaUnescape(escaped);
    if (bytes.size() > MaxFmt4Payload) {
        throw EOmaFormat("Invalid trace data: format 4 data of " + std::to_string(bytes.size()) +
                         " bytes exceeds 8193 bytes");
    }
    std::vector<std::int16_t> values(static_cast<std::size_t>(count));
    UnpackTrace(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                values);
    std::string radii;
    radii.reserve(values.size() * GroupWidth);
    for (std::int16_t v : values) AppendValue(radii, static_cast<std::uint16_t>(v));
    return radii;
}

std::string EncodeBinaryTrace(int format, std::string_view radii) {
    switch (format) {
        case 2: return EncodeTraceFmt2(radii);
        case 3: return EncodeTraceFmt3(radii);
        case 4: return EncodeTraceFmt4(radii);
        default: throw std::invalid_argument("Trace type " + std::to_string(format) + " is unsupported");
    }
}

std::string DecodeBinaryTrace(int format, std::string_view escaped, int count) {
    switch (format) {
        case 2: return DecodeTraceFmt2(escaped);
        case 3: return DecodeTraceFmt3(escaped);
        case 4: return DecodeTraceFmt4(escaped, count);
        default: throw std::invalid_argument("Trace type " + std::to_string(format) + " is unsupported");
    }
}

std::string PointCountFault(long long count, std::string_view what) {
    if (count >= MinTracePoints && count <= MaxTracePoints) return {};
    return "Cannot " + std::string(what) + " a trace of " + std::to_string(count) + " points (" +
           std::to_string(MinTracePoints) + " to " + std::to_string(MaxTracePoints) + ")";
}
