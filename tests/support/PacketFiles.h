#pragma once

// The golden wire messages: every packet the program sends
// (tests/data/packets) and every host reply the tests expect or play
// (tests/data/replies), each kept once as a file that the packet builders'
// tests, the simulator's tests and the conversation tests all read.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

// The bytes of the file at Path (empty when it cannot be read).
inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes of tests/data/<folder>/<file>; throws when it is missing.
inline std::string WireFile(std::string_view folder, std::string_view file) {
    // Beside the sample files every test program is told about.
    const std::filesystem::path path = std::filesystem::path(TREVALON_SAMPLES_DIR).parent_path() /
                                       std::string(folder) / std::string(file);
    if (!std::filesystem::is_regular_file(path))
        throw std::runtime_error("no golden wire message " + path.string());
    return FileBytes(path);
}

// The bytes of tests/data/packets/<name>.pkt.
inline std::string PacketFile(std::string_view name) {
    return WireFile("packets", std::string(name) + ".pkt");
}

// The bytes of tests/data/replies/<name>.reply: FS to GS.
inline std::string ReplyFile(std::string_view name) {
    return WireFile("replies", std::string(name) + ".reply");
}

// Its records: the bytes between FS and RS.
inline std::string ReplyBody(std::string_view name) {
    const std::string reply = ReplyFile(name);
    return reply.substr(1, reply.rfind('\x1E') - 1);
}

// Its records: the bytes between FS and RS.
inline std::string PacketBody(std::string_view name) {
    const std::string packet = PacketFile(name);
    return packet.substr(1, packet.rfind('\x1E') - 1);
}

// Body (records each ended by CR) framed as the golden files are, worked out
// here and not by the program: FS, the body, RS, "CRC=" with the decimal
// CRC-16 (polynomial 0x1021, start 0, most significant bit first) of the body
// and the RS, CR, GS. For tests that vary a golden body.
inline std::string GoldenFrame(const std::string& body) {
    const std::string covered = body + '\x1E';
    std::uint16_t reg = 0;
    for (const char c : covered) {
        reg ^= static_cast<std::uint16_t>(static_cast<unsigned char>(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = static_cast<std::uint16_t>((reg & 0x8000u) ? (reg << 1) ^ 0x1021u : reg << 1);
    }
    return '\x1C' + covered + "CRC=" + std::to_string(reg) + '\r' + '\x1D';
}
