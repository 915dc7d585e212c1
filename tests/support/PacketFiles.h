#pragma once

// The golden wire messages: every packet the program sends
// (tests/data/packets) and every host reply the tests expect or play
// (tests/data/replies), each kept once as a file that the packet builders'
// tests, the simulator's tests and the conversation tests all read.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

// The bytes of tests/data/<folder>/<file>; throws when it is missing.
inline std::string WireFile(std::string_view folder, std::string_view file) {
    // Beside the sample files every test program is told about.
    const std::filesystem::path path = std::filesystem::path(TREVALON_SAMPLES_DIR).parent_path() /
                                       std::string(folder) / std::string(file);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("no golden wire message " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
