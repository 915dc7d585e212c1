#include "oma/OMAMach.h"

#include <array>

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
