#include "oma/OMAMach.h"

#include <array>
#include <optional>

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned reg = b << 8;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000u) ? ((reg << 1) ^ 0x1021u) : (reg << 1);
        table[b] = static_cast<std::uint16_t>(reg & 0xFFFFu);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> CrcTable = MakeCrcTable();

}  // namespace

std::uint16_t OmaCRC16(std::string_view data) {
    unsigned reg = 0;
    for (char c : data) {
        const unsigned b = static_cast<unsigned char>(c);
        reg = ((reg << 8) ^ CrcTable[((reg >> 8) ^ b) & 0xFFu]) & 0xFFFFu;
    }
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
