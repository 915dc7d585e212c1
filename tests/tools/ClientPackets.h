#pragma once

// The client's side of the exchanges, as Trevalon writes its packets and
// reads the host's replies (its exact patterns), for driving the simulator.

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"
#include "tests/support/PacketFiles.h"
#include "tools/JobFile.h"

namespace client {

// The packets are the golden files of tests/data/packets; a request for
// another tray, host DEF or format is its file with those records changed.
inline std::string Replaced(std::string text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

inline std::string InitBody() {
    return PacketBody("init");
}
inline std::string ProbeBody() {
    return PacketBody("probe");
}

inline std::string EdgerDescriptionBody() {
    return PacketBody("edger-description");
}

inline std::string TracerDescriptionBody() {
    return PacketBody("tracer-description");
}

inline std::string JobRecord(std::string_view tray) {
    return "JOB=\"" + std::string(tray) + "\"\r";
}

inline std::string JobRequestBody(std::string_view def, std::string_view tray, int format,
                                  int count) {
    std::string body = Replaced(PacketBody("job-request"), "REQ=7\r", "REQ=" + std::string(def) + "\r");
    body = Replaced(body, JobRecord("1234"), JobRecord(tray));
    return Replaced(body, "TRCFMT=1;400;",
                    "TRCFMT=" + std::to_string(format) + ";" + std::to_string(count) + ";");
}

inline std::string NoInitStoreBody(std::string_view tray) {
    return Replaced(PacketBody("store-request-no-init"), JobRecord("1234"), JobRecord(tray));
}

inline std::string StoreRequestBody(std::string_view def, std::string_view tray) {
    return Replaced(Replaced(PacketBody("store-request"), "REQ=8\r", "REQ=" + std::string(def) + "\r"),
                    JobRecord("1234"), JobRecord(tray));
}

// The golden upload tests/data/packets/upload-<name>.pkt (tray 1234 answering DEF 8) answering
// Ans for Tray.
inline std::string UploadBody(std::string_view name, std::string_view ans = "8",
                              std::string_view tray = "1234") {
    const std::string body = PacketBody("upload-" + std::string(name));
    return Replaced(Replaced(body, "ANS=8\r", "ANS=" + std::string(ans) + "\r"), JobRecord("1234"),
                    JobRecord(tray));
}

// The radius string of a golden format 1 upload, read the plain way: the four-digit groups of
// its R records.
inline std::string UploadRadii(std::string_view name) {
    std::istringstream records(PacketBody("upload-" + std::string(name)));
    std::string radii;
    for (std::string record; std::getline(records, record, '\r');) {
        if (record.rfind("R=", 0) != 0) continue;
        for (char c : record.substr(2))
            if (c != ';') radii += c;
    }
    return radii;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The job step's status reading: group 1 and 2 of the last STATUS after a line end.
struct TStatus {
    std::string Code;
    std::string Text;
};
inline TStatus JobStatus(const std::string& reply) {
    TStatus status;
    for (std::string_view start : {"\rSTATUS", "\nSTATUS"}) {
        auto at = reply.find(start);
        if (at == std::string::npos) continue;
        TReplyMatcher m;
        if (m.Match(R"([\n\r\s]STATUS\s*=\s*(\d+)\s*;?\s*"?([0-9a-zA-Z ]*)\s*)", reply.substr(at)))
            status = {m.Group(1), m.Group(2)};
    }
    return status;
}

// The store verdict's reading: code and text.
inline TStatus VerdictStatus(const std::string& reply) {
    TReplyMatcher m;
    if (!m.Match(R"re(STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r])re", reply)) return {};
    return {m.Group(1), m.Group(2)};
}

// The binary trace decodings, written here from the formats' layouts and not taken from the
// program, so that the host's encoders are checked by something else than their own inverse.
namespace wire {

// The payload of a binary R record: ESC stands before a byte sent 128 higher.
inline std::vector<unsigned> Unescaped(std::string_view data) {
    std::vector<unsigned> bytes;
    for (std::size_t i = 0; i < data.size(); ++i) {
        unsigned b = static_cast<unsigned char>(data[i]);
        if (b == 27) b = ++i < data.size() ? static_cast<unsigned char>(data[i]) & 0x7Fu : 0u;
        bytes.push_back(b);
    }
    return bytes;
}

inline std::string Groups(const std::vector<unsigned>& values) {
    std::string radii;
    for (unsigned v : values) {
        const std::string digits = std::to_string(v);
        radii += std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
    }
    return radii;
}

inline int Signed(unsigned value, int bits) {
    return static_cast<int>(value) - ((value >> (bits - 1)) & 1u ? (1 << bits) : 0);
}

// Format 2: each radius as two bytes, low byte first.
inline std::string Fmt2(std::string_view data) {
    const auto p = Unescaped(data);
    std::vector<unsigned> values;
    for (std::size_t i = 0; i + 1 < p.size(); i += 2) values.push_back(p[i] | p[i + 1] << 8);
    return Groups(values);
}

// Format 3: the first radius in two bytes, then each as a signed byte step from the one
// before, or 0x80 and the radius in two bytes.
inline std::string Fmt3(std::string_view data) {
    const auto p = Unescaped(data);
    if (p.size() < 2) return {};
    std::vector<unsigned> values{p[0] | p[1] << 8};
    for (std::size_t i = 2; i < p.size();) {
        if (p[i] == 0x80) {
            if (i + 2 >= p.size()) break;
            values.push_back(p[i + 1] | p[i + 2] << 8);
            i += 3;
        } else {
            values.push_back(
                static_cast<unsigned>(static_cast<int>(values.back()) + Signed(p[i], 8)) & 0xFFFFu);
            ++i;
        }
    }
    return Groups(values);
}

// Format 4: nibbles, high one first, in three modes: whole radii (low byte, then high byte),
// byte steps, and nibble changes of the step; 0x8000, 0x80, 0x81 and 8 switch between them.
// A short payload reads on as zeros.
inline std::string Fmt4(std::string_view data, int count) {
    const auto p = Unescaped(data);
    std::vector<unsigned> nibbles;
    for (unsigned b : p) {
        nibbles.push_back(b >> 4);
        nibbles.push_back(b & 0xFu);
    }
    std::size_t at = 0;
    const auto take = [&] { return at < nibbles.size() ? nibbles[at++] : (++at, 0u); };
    std::vector<unsigned> values;
    int mode = 16;
    unsigned previous = 0;
    unsigned previousD = 0;
    while (static_cast<int>(values.size()) < count) {
        if (mode == 16) {
            const unsigned a = take(), b = take(), c = take(), d = take();
            const unsigned item = (a << 4 | b) | (c << 4 | d) << 8;
            if (item == 0x8000) {
                mode = 8;
                continue;
            }
            previousD = (item - previous) & 0xFFFFu;
            previous = item;
        } else if (mode == 8) {
            const unsigned a = take(), b = take();
            const unsigned item = a << 4 | b;
            if (item == 0x80 || item == 0x81) {
                mode = item == 0x80 ? 4 : 16;
                continue;
            }
            previousD = static_cast<unsigned>(Signed(item, 8)) & 0xFFFFu;
            previous = (previous + previousD) & 0xFFFFu;
        } else {
            const unsigned item = take();
            if (item == 8) {
                mode = 8;
                continue;
            }
            previousD = (previousD + static_cast<unsigned>(Signed(item, 4))) & 0xFFFFu;
            previous = (previous + previousD) & 0xFFFFu;
        }
        values.push_back(previous);
    }
    return Groups(values);
}

}  // namespace wire

// The job step's trace reading: the radius string the program would take, or nothing when it
// would fail.
inline std::optional<std::string> JobTrace(const std::string& reply, int pointCount) {
    TReplyMatcher m;
    std::string format;
    if (m.Match(R"(TRCFMT\s*=\s*([1234])\s*;\s*([\d]+)\s*;)", reply)) {
        format = m.Group(1);
        pointCount = std::stoi(m.Group(2));
    }
    std::string radii;
    std::string copy = reply;
    while (!copy.empty()) {
        std::string line = ExtractLine(copy);
        if (format == "1" && m.Match(R"([\n\r]\s*R\s*=\s*(.*)[\r\n])", "\r" + line + "\r") &&
            static_cast<int>(radii.size() / 4) < pointCount) {
            std::string value = m.Group(1);
            radii += KeepDigits(value);
        }
    }
    if (format != "1") {
        std::string traceLine;
        copy = reply;
        while (!copy.empty()) {
            std::string line = ExtractLine(copy);
            if (m.Match(R"(\s*R\s*=)", line)) traceLine = line;
        }
        if (traceLine.empty()) return std::nullopt;
        std::string data = traceLine.substr(traceLine.find('=') + 1);
        if (format == "2")
            radii = wire::Fmt2(data);
        else if (format == "3")
            radii = wire::Fmt3(data);
        else if (format == "4")
            radii = wire::Fmt4(data, pointCount);
        else
            return std::nullopt;
    }
    if (static_cast<int>(radii.size() / 4) != pointCount) return std::nullopt;
    return radii;
}

// Jobs held in memory, counting the saves.
class TMemoryJobs : public TJobStore {
public:
    std::map<std::string, std::string> Files;
    int Saves = 0;
    bool FailSave = false;

    std::optional<std::string> Load(std::string_view tray) override {
        auto it = Files.find(std::string(tray));
        if (it == Files.end()) return std::nullopt;
        return it->second;
    }
    void Save(std::string_view tray, std::string_view text) override {
        if (FailSave) throw EJobFile("Disk full");
        ++Saves;
        Files[std::string(tray)] = std::string(text);
    }
};

inline std::string Sample(std::string_view name) {
    return ReadFile(std::filesystem::path(TREVALON_SAMPLES_DIR) / std::string(name));
}

}  // namespace client
