#include "tools/JobFile.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "oma/OmaTrace.h"
#include "shape/Convert.h"
#include "shape/TrceCalc.h"

namespace {

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

bool SameLabel(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

std::optional<TJobRecord> SplitRecord(std::string_view line) {
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return TJobRecord{std::string(TrimSpaces(line.substr(0, eq))),
                      std::string(line.substr(eq + 1))};
}

std::vector<std::string> SplitFields(std::string_view value) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        auto semi = value.find(';', start);
        fields.emplace_back(TrimSpaces(value.substr(start, semi - start)));
        if (semi == std::string_view::npos) break;
        start = semi + 1;
    }
    return fields;
}

std::string SysError(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

bool IsTraceLabel(std::string_view label) {
    for (std::string_view trace : {"TRCFMT", "R", "ZFMT", "Z", "A"})
        if (SameLabel(label, trace)) return true;
    return false;
}

TJobFile TJobFile::Parse(std::string_view text) {
    TJobFile file;
    auto firstEnd = text.find_first_of("\r\n");
    if (firstEnd != std::string_view::npos) {
        if (text[firstEnd] == '\r')
            file.FLineEnd =
                (firstEnd + 1 < text.size() && text[firstEnd + 1] == '\n') ? "\r\n" : "\r";
        else
            file.FLineEnd = "\n";
    }
    file.FFinalLineEnd = text.empty() || text.back() == '\r' || text.back() == '\n';
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        file.FLines.emplace_back(text.substr(pos, end - pos));
        // One line end (CR LF, CR or LF); empty lines between records stay lines.
        pos = end;
        if (pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n')
            pos += 2;
        else if (pos < text.size())
            ++pos;
    }
    return file;
}

std::string TJobFile::Text() const {
    std::string text;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        text += FLines[i];
        if (i + 1 < FLines.size() || FFinalLineEnd) text += FLineEnd;
    }
    return text;
}

std::vector<TJobRecord> TJobFile::Records() const {
    std::vector<TJobRecord> records;
    for (const auto& line : FLines) {
        auto record = SplitRecord(line);
        if (record && !record->Label.empty() && !IsTraceLabel(record->Label))
            records.push_back(std::move(*record));
    }
    return records;
}

std::size_t TJobFile::FirstTraceLine() const {
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        auto record = SplitRecord(FLines[i]);
        if (record && SameLabel(record->Label, "TRCFMT")) return i;
    }
    return std::string::npos;
}

std::size_t TJobFile::TraceBlockEnd(std::size_t first) const {
    std::size_t i = first + 1;
    for (; i < FLines.size(); ++i) {
        auto record = SplitRecord(FLines[i]);
        if (!record || !IsTraceLabel(record->Label) || SameLabel(record->Label, "TRCFMT")) break;
    }
    return i;
}

TJobFile::TTrace TJobFile::FirstTrace() const {
    auto first = FirstTraceLine();
    if (first == std::string::npos) throw EJobFile("The job has no trace");
    TTrace trace;
    trace.Fields = SplitFields(SplitRecord(FLines[first])->Value);
    if (trace.Fields.size() < 2) throw EJobFile("The job's TRCFMT record has no point count");
    int format = 0;
    int count = 0;
    try {
        format = StrToInt(trace.Fields[0]);
        count = StrToInt(trace.Fields[1]);
    } catch (const EConvertError& e) {
        throw EJobFile(std::string("The job's TRCFMT record is unreadable: ") + e.what());
    }
    if (count < 1 || count > MaxTracePoints)
        throw EJobFile("The job's trace has " + std::to_string(count) + " points");

    std::vector<std::string> data;
    for (std::size_t i = first + 1, end = TraceBlockEnd(first); i < end; ++i) {
        auto record = SplitRecord(FLines[i]);
        if (SameLabel(record->Label, "R")) data.push_back(record->Value);
    }
    try {
        if (format == 1) {
            for (const auto& value : data) {
                for (const auto& field : SplitFields(value)) {
                    if (RadiusCount(trace.Radii) >= count) break;
                    AppendRadiusGroup(trace.Radii, StrToInt(field));
                }
            }
        } else if (format >= 2 && format <= 4 && !data.empty()) {
            const std::string& payload = data.front();
            trace.Radii = format == 2   ? DecodeTraceFmt2(payload)
                          : format == 3 ? DecodeTraceFmt3(payload)
                                        : DecodeTraceFmt4(payload, count);
        } else if (format < 1 || format > 4) {
            throw EJobFile("The job's trace format " + trace.Fields[0] + " is not supported");
        }
    } catch (const EJobFile&) {
        throw;
    } catch (const std::exception& e) {
        throw EJobFile(std::string("The job's trace is unreadable: ") + e.what());
    }
    if (RadiusCount(trace.Radii) != count)
        throw EJobFile("The job's trace holds " + std::to_string(RadiusCount(trace.Radii)) +
                       " of its " + std::to_string(count) + " points");
    return trace;
}

void TJobFile::SetRecord(std::string_view label, std::string_view value) {
    for (auto& existing : FLines) {
        auto record = SplitRecord(existing);
        if (record && SameLabel(record->Label, label)) {
            existing = record->Label + "=" + std::string(value);
            return;
        }
    }
    std::string line = std::string(label) + "=" + std::string(value);
    auto first = FirstTraceLine();
    if (first == std::string::npos)
        FLines.push_back(std::move(line));
    else
        FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(first), std::move(line));
}

void TJobFile::ReplaceFirstTrace(std::string_view radii) {
    int count = RadiusCount(radii);
    // Ten values a line, as the lab's own files hold them.
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        if (i % 10 == 0)
            lines.emplace_back("R=");
        else
            lines.back() += ';';
        lines.back() += radii.substr(static_cast<std::size_t>(i) * 4, 4);
    }
    auto first = FirstTraceLine();
    if (first == std::string::npos) {
        FLines.push_back("TRCFMT=1;" + std::to_string(count) + ";E;R;F");
        FLines.insert(FLines.end(), lines.begin(), lines.end());
        return;
    }
    auto fields = SplitFields(SplitRecord(FLines[first])->Value);
    fields.resize(std::max<std::size_t>(fields.size(), 2));
    fields[0] = "1";
    fields[1] = std::to_string(count);
    std::string trcfmt = "TRCFMT=";
    for (std::size_t i = 0; i < fields.size(); ++i) trcfmt += (i ? ";" : "") + fields[i];
    FLines[first] = trcfmt;
    // The old R lines go; other trace records of the block (angles, Z data) would no
    // longer fit the new points, so they go as well.
    auto end = TraceBlockEnd(first);
    FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(first + 1),
                 FLines.begin() + static_cast<std::ptrdiff_t>(end));
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(first + 1), lines.begin(),
                  lines.end());
}

bool IsSafeTray(std::string_view tray) {
    if (tray.empty() || tray.size() > 40) return false;
    return std::all_of(tray.begin(), tray.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
}

std::filesystem::path TJobFolder::JobPath(std::string_view tray) const {
    return FFolder / (std::string(tray) + ".oma");
}

std::filesystem::path TJobFolder::BackupPath(std::string_view tray) const {
    return FFolder / (std::string(tray) + ".oma.bak");
}

std::optional<std::string> TJobFolder::Load(std::string_view tray) {
    auto path = JobPath(tray);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EJobFile(SysError("Cannot open", path));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EJobFile(SysError("Cannot read", path));
    return text;
}

void TJobFolder::Save(std::string_view tray, std::string_view text) {
    auto path = JobPath(tray);
    auto backup = BackupPath(tray);
    auto temp = FFolder / (std::string(tray) + ".oma.new");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw EJobFile(SysError("Cannot create", temp));
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            throw EJobFile(SysError("Cannot write", temp));
        }
    }
    // The backup is a second name of the old file, so the job file itself is never
    // missing: the rename below replaces it in one step.
    std::error_code ec;
    std::filesystem::remove(backup, ec);
    if (std::filesystem::exists(path, ec)) {
        std::filesystem::create_hard_link(path, backup, ec);
        if (ec) std::filesystem::copy_file(path, backup, ec);
        if (ec) {
            std::filesystem::remove(temp, ec);
            throw EJobFile("Cannot keep the previous version as " + backup.string());
        }
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        auto message = SysError("Cannot replace", path);
        std::filesystem::remove(temp, ec);
        throw EJobFile(message);
    }
}
