#include "oma/OMAMach.h"

#include <array>
#include <optional>

namespace {

// Sixteen tables: Tables[k][b] is what byte b contributes with k bytes after
// it, so sixteen bytes fold in at once. Every received packet is checked, the
// long ones included; byte at a time the check cost a quarter of the engine's
// own work on a 1 MiB reply.
using TCrcTables = std::array<std::array<std::uint16_t, 256>, 16>;

constexpr TCrcTables MakeCrcTables() {
    TCrcTables tables{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned reg = b << 8;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000u) ? ((reg << 1) ^ 0x1021u) : (reg << 1);
        tables[0][b] = static_cast<std::uint16_t>(reg & 0xFFFFu);
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned prev = tables[k - 1][b];
            tables[k][b] =
                static_cast<std::uint16_t>(((prev << 8) & 0xFFFFu) ^ tables[0][prev >> 8]);
        }
    return tables;
}

constexpr TCrcTables CrcTables = MakeCrcTables();

}  // namespace

std::uint16_t OmaCRC16(std::string_view data) {
    const auto& t = CrcTables;
    unsigned reg = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t n = data.size();
    for (; n >= 16; n -= 16, p += 16) {
        // The register folds into the first two bytes of the block.
        reg = t[15][p[0] ^ (reg >> 8)] ^ t[14][p[1] ^ (reg & 0xFFu)] ^ t[13][p[2]] ^ t[12][p[3]] ^
              t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^
              t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
    }
    for (; n > 0; --n, ++p) reg = ((reg << 8) ^ t[0][((reg >> 8) ^ *p) & 0xFFu]) & 0xFFFFu;
    return static_cast<std::uint16_t>(reg);
}

std::string BuildPacket(std::string_view body) {
    std::string covered;
    covered.reserve(body.size() + 1);
    covered.append(body);
    covered += RS;

    std::string packet;
    packet.reserve(body.size() + 14);
    packet += FS;
    packet += covered;
    packet += "CRC=";
    packet += std::to_string(OmaCRC16(covered));
    packet += CR;
    packet += GS;
    return packet;
}

namespace {

std::string_view TrimLineEnds(std::string_view text) {
    while (!text.empty() && (text.back() == CR || text.back() == LF)) text.remove_suffix(1);
    return text;
}

// The value of a checksum record "CRC=digits", blanks allowed around the
// equals sign and the digits; nothing when the record is not one.
std::optional<std::uint32_t> ChecksumValue(std::string_view record) {
    auto skipBlanks = [&record] {
        while (!record.empty() && (record.front() == ' ' || record.front() == '\t'))
            record.remove_prefix(1);
    };
    if (record.substr(0, 3) != "CRC") return std::nullopt;
    record.remove_prefix(3);
    skipBlanks();
    if (record.empty() || record.front() != '=') return std::nullopt;
    record.remove_prefix(1);
    skipBlanks();
    std::uint32_t value = 0;
    std::size_t digits = 0;
    while (!record.empty() && record.front() >= '0' && record.front() <= '9') {
        value = value * 10 + static_cast<std::uint32_t>(record.front() - '0');
        if (value > 0xFFFFu) return std::nullopt;
        record.remove_prefix(1);
        ++digits;
    }
    skipBlanks();
    if (digits == 0 || !record.empty()) return std::nullopt;
    return value;
}

}  // namespace

TPacketCheck CheckPacket(std::string_view packet) {
    TPacketCheck check;
    const std::size_t gs = packet.rfind(GS);
    if (packet.empty() || packet.front() != FS || gs == std::string_view::npos) return check;
    const std::size_t rs = packet.rfind(RS, gs);
    if (rs == std::string_view::npos) {
        // The RS itself may be what was damaged: a last record that holds
        // "CRC=" is a checksum record without its separator.
        const std::string_view body = TrimLineEnds(packet.substr(1, gs - 1));
        std::size_t start = body.find_last_of("\r\n");
        start = start == std::string_view::npos ? 0 : start + 1;
        const std::string_view last = body.substr(start);
        if (last.find("CRC=") == std::string_view::npos) return check;
        check.Kind = TPacketCheck::ckBad;
        check.Received = std::string(last);
        std::string covered(body.substr(0, start));
        covered += RS;
        check.Expected = OmaCRC16(covered);
        return check;
    }
    const std::string_view record = TrimLineEnds(packet.substr(rs + 1, gs - rs - 1));
    if (record.empty()) return check;
    check.Expected = OmaCRC16(packet.substr(1, rs));
    check.Received = std::string(record);
    const std::optional<std::uint32_t> value = ChecksumValue(record);
    check.Kind = value && *value == check.Expected ? TPacketCheck::ckGood : TPacketCheck::ckBad;
    return check;
}

std::string ExtractLine(std::string& buffer) {
    const std::size_t end = buffer.find_first_of("\r\n");
    if (end == std::string::npos) {
        std::string line = std::move(buffer);
        buffer.clear();
        return line;
    }
    std::string line = buffer.substr(0, end);
    std::size_t next = buffer.find_first_not_of("\r\n", end);
    if (next == std::string::npos) next = buffer.size();
    buffer.erase(0, next);
    return line;
}

std::string RenderControlChars(std::string_view raw) {
    std::string out;
    out.reserve(raw.size() + raw.size() / 4);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(raw[i]);
        switch (b) {
            case 0x06:
                out += "<ack>";
                break;
            case 0x15:
                out += "<nak>";
                break;
            case 0x1B:
                out += "<esc>";
                break;
            case 0x1C:
                out += "<fs>";
                break;
            case 0x1D:
                out += "<gs>";
                break;
            case 0x1E:
                out += "<rs>";
                break;
            case 0x0D:
                if (i + 1 < raw.size() && raw[i + 1] == LF) {
                    out += "<crlf>\r\n";
                    ++i;
                } else {
                    out += "<cr>\r\n";
                }
                break;
            case 0x0A:
                out += "<lf>\r\n";
                break;
            default:
                if (b >= 0x20 && b <= 0x7E) {
                    out += static_cast<char>(b);
                } else {
                    out += "<#";
                    out += std::to_string(b);
                    out += '>';
                }
        }
    }
    return out;
}
