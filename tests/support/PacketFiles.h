#pragma once

// The golden packets of tests/data/packets: every packet the program sends,
// kept once as a file that the packet builders' tests, the simulator's tests
// and the conversation tests all read.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

// The bytes of tests/data/packets/<name>.pkt; throws when it is missing.
inline std::string PacketFile(std::string_view name) {
    // Beside the sample files every test program is told about.
    const std::filesystem::path path = std::filesystem::path(TREVALON_SAMPLES_DIR).parent_path() /
                                       "packets" / (std::string(name) + ".pkt");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("no golden packet " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Its records: the bytes between FS and RS.
inline std::string PacketBody(std::string_view name) {
    const std::string packet = PacketFile(name);
    return packet.substr(1, packet.rfind('\x1E') - 1);
}
