#include "oma/JobFile.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

#include "oma/OmaTrace.h"

namespace {

namespace fs = std::filesystem;

constexpr char LineEnd[] = "\r\n";

bool SameLabel(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view LabelOf(std::string_view line) {
    return line.substr(0, line.find('='));
}

// Two decimals with "." whatever the locale: OMA readers expect ".".
std::string TwoDecimals(double value) {
    std::array<char, 64> buffer{};
    const auto [End, Error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, 2);
    if (Error != std::errc()) return "0.00";
    return std::string(buffer.data(), End);
}

// The trace records of one format, each line closed by CR as on the line.
std::string TraceLines(int format, std::string_view radii) {
    switch (format) {
        case 1: return EncodeTraceFmt1(radii);
        case 2: return "R=" + EncodeTraceFmt2(radii) + "\r";
        case 3: return "R=" + EncodeTraceFmt3(radii) + "\r";
        case 4: return "R=" + EncodeTraceFmt4(radii) + "\r";
        default: throw EOmaJobFile("Trace type " + std::to_string(format) + " is unsupported");
    }
}

// Text without the bytes of value 32 or less at either end.
std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

// The lines of text: CR, LF and any run of them end a line, so empty lines
// are skipped (as the line splitting of replies does), in one pass.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = text.find_first_not_of("\r\n", end);
        if (start == std::string_view::npos) break;
    }
    return lines;
}

// A point count as digits; anything else, or more than fits, is -1.
long ReadCount(std::string_view text) {
    if (text.empty() || text.size() > 9) return -1;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

double ReadDBL(std::string_view value) {
    value = Trim(value.substr(0, value.find(';')));
    double number = 0;
    const char* end = value.data() + value.size();
    const auto [Stop, Error] = std::from_chars(value.data(), end, number);
    if (value.empty() || Error != std::errc() || Stop != end || !std::isfinite(number)) return 0;
    return number;
}

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

}  // namespace

TJobFileData ParseJobFile(std::string_view text) {
    TJobFileData data;
    std::string format;  // as written in the first TRCFMT record
    long count = -1;
    bool anyTrace = false;  // any R record at all
    bool hasTrace = false;  // R records after the first TRCFMT
    std::string_view payload;  // formats 2 to 4
    bool payloadFound = false;
    // Label (lower case) to its line: a file of many short records stays linear.
    std::unordered_map<std::string, std::size_t> recordAt;
    const auto setRecord = [&](std::string_view label, std::string_view value) {
        std::string key(label);
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (value.empty()) {
            // As in job data: an empty value removes the record.
            if (const auto found = recordAt.find(key); found != recordAt.end()) {
                data.Records[found->second].clear();
                recordAt.erase(found);
            }
            return;
        }
        std::string line = std::string(label) + "=" + std::string(value);
        const auto [At, Added] = recordAt.try_emplace(std::move(key), data.Records.size());
        if (Added)
            data.Records.push_back(std::move(line));
        else
            data.Records[At->second] = std::move(line);
    };

    // R records belong to the format record before them (TRCFMT, STHKFMT ...):
    // only those after the first TRCFMT, up to the next format record, are the trace.
    bool inTrace = false;
    for (const std::string_view line : Lines(text)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view label = Trim(line.substr(0, equals));
        if (label == "R") {
            anyTrace = true;
            if (!inTrace) continue;
            hasTrace = true;
            if (format == "1") {
                if (static_cast<long>(data.Radii.size() / 4) < count)
                    data.Radii += KeepDigits(Trim(line.substr(equals + 1)));
            } else if (!payloadFound) {
                // Binary data: every byte after "=" belongs to it.
                payload = line.substr(equals + 1);
                payloadFound = true;
            }
            continue;
        }
        if (label == "Z" || label.empty()) continue;
        const std::string_view value = Trim(line.substr(equals + 1));
        if (label.size() >= 3 && label.substr(label.size() - 3) == "FMT") inTrace = false;
        if (label == "TRCFMT" && format.empty()) {
            inTrace = true;
            const std::size_t semicolon = value.find(';');
            format = std::string(Trim(value.substr(0, semicolon)));
            if (format.empty()) format = "?";
            if (semicolon != std::string_view::npos) {
                const std::string_view rest = value.substr(semicolon + 1);
                count = ReadCount(Trim(rest.substr(0, rest.find(';'))));
            }
        }
        setRecord(label, value);
    }
    std::erase_if(data.Records, [](const std::string& line) { return line.empty(); });

    if (!anyTrace) throw EOmaJobFile("Cannot find trace data");
    if (format.empty()) throw EOmaJobFile("Cannot find the trace format (no TRCFMT record)");
    if (format != "1" && format != "2" && format != "3" && format != "4")
        throw EOmaJobFile("Trace type " + format + " is unsupported");
    if (!hasTrace) throw EOmaJobFile("Cannot find trace data");
    if (count < 1 || count > MaxTracePoints)
        throw EOmaJobFile("Cannot read a trace of " + std::to_string(count < 0 ? 0 : count) +
                       " points (1 to " + std::to_string(MaxTracePoints) + ")");
    data.Format = format[0] - '0';
    if (data.Format != 1) {
        if (data.Format == 2)
            data.Radii = DecodeTraceFmt2(payload);
        else if (data.Format == 3)
            data.Radii = DecodeTraceFmt3(payload);
        else
            data.Radii = DecodeTraceFmt4(payload, static_cast<int>(count));
    }
    const long points = static_cast<long>(data.Radii.size() / 4);
    if (points != count)
        throw EOmaJobFile("Trace contains " + std::to_string(points) +
                       " points, but number of points is " + std::to_string(count));
    // A radius written with five digits would otherwise pass as a shifted shape.
    if (data.Radii.size() != static_cast<std::size_t>(count) * 4)
        throw EOmaJobFile("Trace data has " + std::to_string(data.Radii.size()) + " digits, but " +
                       std::to_string(count) + " points need " + std::to_string(count * 4));

    for (const std::string& record : data.Records) {
        const std::string_view label = LabelOf(record);
        const std::string_view value = std::string_view(record).substr(label.size() + 1);
        if (SameLabel(label, "DBL")) data.DBL = ReadDBL(value);
        if (SameLabel(label, "JOB")) {
            std::string_view tray = value;
            if (tray.size() >= 2 && tray.front() == '"' && tray.back() == '"')
                tray = tray.substr(1, tray.size() - 2);
            data.Tray = std::string(tray);
        }
    }
    return data;
}

void SetJobRecord(std::vector<std::string>& records, std::string_view name,
                  std::string_view value) {
    if (value.empty()) {
        std::erase_if(records, [&](const std::string& line) {
            return line.find('=') != std::string::npos && SameLabel(LabelOf(line), name);
        });
        return;
    }
    for (std::string& line : records) {
        if (line.find('=') != std::string::npos && SameLabel(LabelOf(line), name)) {
            line = std::string(name) + "=" + std::string(value);
            return;
        }
    }
    records.push_back(std::string(name) + "=" + std::string(value));
}

std::string BuildJobFile(const std::vector<std::string>& records, const TJobFileShape& shape,
                         int format) {
    const int points = static_cast<int>(shape.Radii.size() / 4);
    if (points == 0) throw EOmaJobFile("There is no shape to save");
    std::string traceLines = TraceLines(format, shape.Radii);

    std::vector<std::string> lines = records;
    SetJobRecord(lines, "HBOX", TwoDecimals(shape.HBox) + ";" + TwoDecimals(shape.HBox));
    SetJobRecord(lines, "VBOX", TwoDecimals(shape.VBox) + ";" + TwoDecimals(shape.VBox));
    SetJobRecord(lines, "CIRC", TwoDecimals(shape.Circ) + ";" + TwoDecimals(shape.Circ));
    SetJobRecord(lines, "DBL", TwoDecimals(shape.DBL));
    for (const char* label : JobFileDroppedLabels) SetJobRecord(lines, label, "");

    std::string text;
    for (const std::string& line : lines) {
        // A record never spans lines in a file; a stray line end would split it.
        if (line.find_first_of("\r\n") != std::string::npos) continue;
        text += line;
        text += LineEnd;
    }
    text += "TRCFMT=" + std::to_string(format) + ";" + std::to_string(points) + ";E;R;F";
    text += LineEnd;
    // Escaping keeps CR out of binary payloads, so every CR here ends a record.
    for (char c : traceLines) {
        if (c == '\r')
            text += LineEnd;
        else
            text += c;
    }
    return text;
}

std::string ReadJobFileBytes(const fs::path& fileName) {
    std::error_code error;
    const fs::file_status status = fs::status(fileName, error);
    if (error) throw EOmaJobFile("Cannot read the job file: " + error.message());
    if (!fs::is_regular_file(status)) throw EOmaJobFile("Cannot read the job file: it is not a file");
    const std::uintmax_t size = fs::file_size(fileName, error);
    if (error) throw EOmaJobFile("Cannot read the job file: " + error.message());
    if (size > MaxJobFileSize)
        throw EOmaJobFile("The file is too large for a job file (" + std::to_string(size / 1024) +
                       " KiB, at most " + std::to_string(MaxJobFileSize / 1024) + " KiB)");

    errno = 0;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EOmaJobFile("Cannot read the job file: " + Reason(errno));
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    // Read one byte more than allowed: a file that grew since its size was taken is refused too.
    std::array<char, 65536> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > MaxJobFileSize)
            throw EOmaJobFile("The file is too large for a job file (at most " +
                           std::to_string(MaxJobFileSize / 1024) + " KiB)");
    }
    if (in.bad()) throw EOmaJobFile("Cannot read the job file: " + Reason(errno));
    return bytes;
}

void WriteJobFileBytes(const fs::path& fileName, std::string_view text) {
    fs::path temporary = fileName;
    temporary += ".tmp";
    fs::path backup = fileName;
    backup += ".bak";

    const auto fail = [&](const std::string& reason) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw EOmaJobFile("Cannot write the job file: " + reason);
    };

    {
        errno = 0;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) fail(Reason(errno));
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) fail(Reason(errno));
        out.close();
        if (!out) fail(Reason(errno));
    }

    std::error_code error;
    // The previous file is copied, not moved, so fileName exists at every moment.
    if (fs::exists(fileName, error)) {
        fs::copy_file(fileName, backup, fs::copy_options::overwrite_existing, error);
        if (error) fail("cannot keep the previous file as .bak (" + error.message() + ")");
    }
    fs::rename(temporary, fileName, error);
    if (error) fail(error.message());
}
