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

inline std::string TraceRecords(int format, std::string_view radii) {
    switch (format) {
        case 1:
            return EncodeTraceFmt1(radii);
        case 2:
            return "R=" + EncodeTraceFmt2(radii) + "\r";
        case 3:
            return "R=" + EncodeTraceFmt3(radii) + "\r";
        default:
            return "R=" + EncodeTraceFmt4(radii) + "\r";
    }
}

// The upload: ANS, JOB, VEN, MODEL, TRCFMT, the trace, then the echoed records.
inline std::string UploadBody(std::string_view ans, std::string_view tray, int format,
                              std::string_view radii, std::string_view records) {
    // The golden upload's records before its trace, for this answer and tray.
    const std::string golden = PacketBody("upload");
    std::string head = golden.substr(0, golden.find("TRCFMT="));
    head = Replaced(Replaced(head, "ANS=8\r", "ANS=" + std::string(ans) + "\r"), JobRecord("1234"),
                    JobRecord(tray));
    return head + "TRCFMT=" + std::to_string(format) + ";" + std::to_string(radii.size() / 4) +
           ";E;R;F\r" + TraceRecords(format, radii) + std::string(records);
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
            radii = DecodeTraceFmt2(data);
        else if (format == "3")
            radii = DecodeTraceFmt3(data);
        else if (format == "4")
            radii = DecodeTraceFmt4(data, pointCount);
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
