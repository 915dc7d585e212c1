#include "oma/JobFile.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "oma/HostPackets.h"
#include "oma/JobRecords.h"
#include "oma/OmaErrors.h"
#include "base/AsciiText.h"
#include "oma/OmaTrace.h"

namespace {

namespace fs = std::filesystem;

constexpr char FileLineEnd[] = "\r\n";

// Format 1 values per R record, as the labs' own files hold them.
constexpr int ValuesPerLine = 10;

// The label of a record line (trimmed), or nothing for a line without "=".
bool SplitLine(std::string_view line, std::string_view& label, std::string_view& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    label = TrimBlanks(line.substr(0, equals));
    value = line.substr(equals + 1);
    return true;
}

std::string_view LabelOf(std::string_view line) {
    return line.substr(0, line.find('='));
}

std::vector<std::string_view> SplitFields(std::string_view value) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t semicolon = value.find(';', start);
        fields.push_back(value.substr(start, semicolon - start));
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    return fields;
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) text += ';';
        text += fields[i];
    }
    return text;
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
    return ReadWireNumber(TrimBlanks(value.substr(0, value.find(';')))).value_or(0);
}

std::string FormatGroup(long value) {
    std::string group = std::to_string(value);
    return std::string(4 - group.size(), '0') + group;
}

// Format 1 values of R records: any width, separated by ";", blanks around
// them ignored, an empty field (a trailing ";") skipped.
void AppendFormat1Values(std::string& radii, std::string_view value) {
    for (std::string_view field : SplitFields(value)) {
        field = TrimBlanks(field);
        if (field.empty()) continue;
        const long number = ReadCount(field);
        if (number < 0) {
            if (field.find_first_not_of("+-0123456789") == std::string_view::npos &&
                field.find_first_of("0123456789") != std::string_view::npos)
                throw EOmaFormat("Invalid trace data: point " +
                                 std::to_string(radii.size() / 4 + 1) + " has the value " +
                                 std::string(field));
            throw EOmaJobFile("Trace data holds \"" + std::string(field.substr(0, 20)) +
                              "\", which is not a number");
        }
        if (number > 9999)
            throw EOmaFormat("Invalid trace data: point " + std::to_string(radii.size() / 4 + 1) +
                             " has the value " + std::to_string(number));
        radii += FormatGroup(number);
    }
}

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

}  // namespace

bool IsBlockLabel(std::string_view label) {
    return label.size() > 3 && SameTextAscii(label.substr(label.size() - 3), "FMT");
}

bool IsBlockDataLabel(std::string_view label) {
    for (std::string_view data : {"R", "A", "T", "Z"})
        if (SameTextAscii(label, data)) return true;
    return false;
}

TOmaJobFile TOmaJobFile::Parse(std::string_view text) {
    TOmaJobFile file;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = text.find_first_of("\r\n", position);
        if (end == std::string_view::npos) end = text.size();
        file.FLines.emplace_back(text.substr(position, end - position));
        // One line end: CR LF, CR or LF; an empty line between records stays a line.
        position = end;
        if (position + 1 < text.size() && text[position] == '\r' && text[position + 1] == '\n')
            position += 2;
        else if (position < text.size())
            ++position;
        file.FEnds.emplace_back(text.substr(end, position - end));
    }
    for (const std::string& end : file.FEnds) {
        if (end.empty()) continue;
        file.FLineEnd = end;
        break;
    }
    return file;
}

std::string TOmaJobFile::Text() const {
    std::string text;
    for (std::size_t i = 0; i < FLines.size(); ++i) text.append(FLines[i]).append(FEnds[i]);
    return text;
}

void TOmaJobFile::InsertLines(std::size_t at, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    FFirstTrace.reset();
    // New lines end as their neighbours do; at the end of a file whose last
    // line has no line end, the old last line gets one and the new last none.
    std::string end = at > 0 && !FEnds[at - 1].empty() ? FEnds[at - 1] : FLineEnd;
    std::vector<std::string> ends(lines.size(), end);
    if (at == FLines.size() && at > 0 && FEnds[at - 1].empty()) {
        FEnds[at - 1] = end;
        ends.back().clear();
    }
    const auto offset = static_cast<std::ptrdiff_t>(at);
    FLines.insert(FLines.begin() + offset, lines.begin(), lines.end());
    FEnds.insert(FEnds.begin() + offset, ends.begin(), ends.end());
}

void TOmaJobFile::EraseLines(std::size_t first, std::size_t end) {
    if (first >= end) return;
    FFirstTrace.reset();
    // The last line's missing line end stays missing.
    if (end == FLines.size() && first > 0 && FEnds[end - 1].empty()) FEnds[first - 1].clear();
    const auto from = static_cast<std::ptrdiff_t>(first);
    const auto to = static_cast<std::ptrdiff_t>(end);
    FLines.erase(FLines.begin() + from, FLines.begin() + to);
    FEnds.erase(FEnds.begin() + from, FEnds.begin() + to);
}

std::string TOmaJobFile::Text(std::string_view lineEnd) const {
    std::string text;
    for (const std::string& line : FLines) {
        text += line;
        text += lineEnd;
    }
    return text;
}

std::vector<TOmaJobFile::TBlock> TOmaJobFile::Blocks() const {
    std::vector<TBlock> blocks;
    std::string_view label;
    std::string_view value;
    for (std::size_t i = 0; i < FLines.size();) {
        if (!SplitLine(FLines[i], label, value) || !IsBlockLabel(label)) {
            ++i;
            continue;
        }
        TBlock block{i, i + 1};
        while (block.End < FLines.size() && SplitLine(FLines[block.End], label, value) &&
               IsBlockDataLabel(label))
            ++block.End;
        blocks.push_back(block);
        i = block.End;
    }
    return blocks;
}

std::size_t TOmaJobFile::FirstBlockLine() const {
    const std::vector<TBlock> blocks = Blocks();
    return blocks.empty() ? FLines.size() : blocks.front().First;
}

std::vector<std::size_t> TOmaJobFile::OutsideBlocks() const {
    std::vector<std::size_t> lines;
    const std::vector<TBlock> blocks = Blocks();
    auto block = blocks.begin();
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        if (block != blocks.end() && i == block->First) {
            i = block->End - 1;
            ++block;
            continue;
        }
        lines.push_back(i);
    }
    return lines;
}

std::vector<TJobRecord> TOmaJobFile::Records() const {
    std::vector<TJobRecord> records;
    std::string_view label;
    std::string_view value;
    for (std::size_t i : OutsideBlocks())
        if (SplitLine(FLines[i], label, value) && !label.empty() && !IsBlockDataLabel(label))
            records.push_back(TJobRecord{std::string(label), std::string(value)});
    return records;
}

std::size_t TOmaJobFile::FindRecord(std::string_view wanted) const {
    std::string_view label;
    std::string_view value;
    for (std::size_t i : OutsideBlocks())
        if (SplitLine(FLines[i], label, value) && SameTextAscii(label, wanted)) return i;
    return std::string::npos;
}

std::string TOmaJobFile::Value(std::string_view label) const {
    const std::size_t at = FindRecord(label);
    if (at == std::string::npos) return {};
    return FLines[at].substr(FLines[at].find('=') + 1);
}

void TOmaJobFile::SetRecord(std::string_view label, std::string_view value) {
    if (value.empty()) {
        for (std::size_t at = FindRecord(label); at != std::string::npos; at = FindRecord(label))
            EraseLines(at, at + 1);
        return;
    }
    if (const std::size_t at = FindRecord(label); at != std::string::npos) {
        FLines[at] = std::string(LabelOf(FLines[at])) + "=" + std::string(value);
        FFirstTrace.reset();
        return;
    }
    InsertLines(FirstBlockLine(), {std::string(label) + "=" + std::string(value)});
}

void TOmaJobFile::SetEyeField(std::string_view label, std::string_view eye,
                              std::string_view value) {
    const bool left = SameTextAscii(eye, "L");
    const bool both = SameTextAscii(eye, "B");
    std::vector<std::string> fields;
    if (const std::size_t at = FindRecord(label); at != std::string::npos) {
        const std::string current = Value(label);  // the fields below view it
        for (std::string_view field : SplitFields(current)) fields.emplace_back(field);
        // One value stands for both eyes: the other eye keeps it.
        if (fields.size() == 1) fields.push_back(fields.front());
    } else {
        fields = {"", ""};
    }
    if (!left || both) fields[0] = value;
    if (left || both) fields[1] = value;
    SetRecord(label, JoinFields(fields));
}

bool TOmaJobFile::FirstTraceBlock(TBlock& found) const {
    std::string_view label;
    std::string_view value;
    for (const TBlock& block : Blocks()) {
        if (SplitLine(FLines[block.First], label, value) && SameTextAscii(label, "TRCFMT")) {
            found = block;
            return true;
        }
    }
    return false;
}

int TOmaJobFile::TraceCount() const {
    int count = 0;
    std::string_view label;
    std::string_view value;
    for (const TBlock& block : Blocks())
        if (SplitLine(FLines[block.First], label, value) && SameTextAscii(label, "TRCFMT")) ++count;
    return count;
}

TJobTrace TOmaJobFile::FirstTrace() const {
    if (!FFirstTrace) FFirstTrace = ReadFirstTrace();
    return *FFirstTrace;
}

TJobTrace TOmaJobFile::ReadFirstTrace() const {
    std::string_view label;
    std::string_view value;
    bool anyTrace = false;
    for (const std::string& line : FLines)
        if (SplitLine(line, label, value) && SameTextAscii(label, "R")) anyTrace = true;
    if (!anyTrace) throw EOmaJobFile("Cannot find trace data");
    TBlock block{};
    if (!FirstTraceBlock(block))
        throw EOmaJobFile("Cannot find the trace format (no TRCFMT record)");

    TJobTrace trace;
    SplitLine(FLines[block.First], label, value);
    for (std::string_view field : SplitFields(value)) trace.Fields.emplace_back(field);
    std::string format(TrimBlanks(trace.Fields[0]));
    if (format.empty()) format = "?";
    const long count = trace.Fields.size() > 1 ? ReadCount(TrimBlanks(trace.Fields[1])) : -1;
    if (trace.Fields.size() > 3) trace.Eye = TrimBlanks(trace.Fields[3]);
    if (trace.Fields.size() > 4) trace.Type = TrimBlanks(trace.Fields[4]);
    if (format != "1" && format != "2" && format != "3" && format != "4")
        throw EOmaJobFile("Trace type " + format + " is unsupported");

    std::vector<std::string_view> data;
    for (std::size_t i = block.First + 1; i < block.End; ++i)
        if (SplitLine(FLines[i], label, value) && SameTextAscii(label, "R")) data.push_back(value);
    if (data.empty()) throw EOmaJobFile("Cannot find trace data");
    if (count < 1 || count > MaxTracePoints)
        throw EOmaJobFile("Cannot read a trace of " + std::to_string(count < 0 ? 0 : count) +
                          " points (1 to " + std::to_string(MaxTracePoints) + ")");
    trace.Format = format[0] - '0';
    if (trace.Format == 1) {
        for (std::string_view record : data) AppendFormat1Values(trace.Radii, record);
    } else {
        // Binary data: every byte after "=" of the first R record belongs to it.
        trace.Radii = DecodeBinaryTrace(trace.Format, data.front(), static_cast<int>(count));
    }
    const long points = static_cast<long>(trace.Radii.size() / 4);
    if (points != count)
        throw EOmaJobFile("Trace contains " + std::to_string(points) +
                          " points, but number of points is " + std::to_string(count));
    return trace;
}

void TOmaJobFile::ReplaceFirstTrace(int format, std::string_view radii) {
    const std::size_t points = radii.size() / 4;
    if (points == 0) throw EOmaJobFile("There is no shape to save");
    if (format < 1 || format > 4)
        throw EOmaJobFile("Trace type " + std::to_string(format) + " is unsupported");
    std::vector<std::string> data;
    if (format == 1) {
        for (std::size_t i = 0; i < points; ++i) {
            if (i % ValuesPerLine == 0)
                data.emplace_back("R=");
            else
                data.back() += ';';
            const std::string_view group = radii.substr(i * 4, 4);
            if (group.find_first_not_of("0123456789") != std::string_view::npos)
                throw EOmaConvert("'" + std::string(group) + "' is not a valid integer value");
            data.back() += group;
        }
    } else {
        // Escaping keeps CR and LF out of binary payloads, so the record stays one line.
        data.push_back("R=" + EncodeBinaryTrace(format, radii));
    }

    TBlock block{};
    if (!FirstTraceBlock(block)) {
        InsertLines(FLines.size(), {"TRCFMT=1;1;E;R;F"});
        block = TBlock{FLines.size() - 1, FLines.size()};
    }
    std::string_view label;
    std::string_view value;
    SplitLine(FLines[block.First], label, value);
    std::vector<std::string> fields;
    for (std::string_view field : SplitFields(value)) fields.emplace_back(field);
    if (fields.size() < 2) fields.resize(2);
    fields[0] = std::to_string(format);
    fields[1] = std::to_string(points);
    FLines[block.First] = std::string(LabelOf(FLines[block.First])) + "=" + JoinFields(fields);
    FFirstTrace.reset();
    // Angle and other data lines of the old trace describe its points, not the new ones.
    EraseLines(block.First + 1, block.End);
    InsertLines(block.First + 1, data);
}

std::string TOmaJobFile::FirstTraceEye() const {
    TBlock block{};
    if (!FirstTraceBlock(block)) return "R";
    std::string_view label;
    std::string_view value;
    SplitLine(FLines[block.First], label, value);
    const std::vector<std::string_view> fields = SplitFields(value);
    const std::string_view eye = fields.size() > 3 ? TrimBlanks(fields[3]) : std::string_view();
    return eye.empty() ? std::string("R") : std::string(eye);
}

TJobFileData ParseJobFile(std::string_view text) {
    TJobFileData data;
    data.File = TOmaJobFile::Parse(text);
    TJobTrace trace = data.File.FirstTrace();
    data.Radii = std::move(trace.Radii);
    data.Format = trace.Format;
    data.Eye = trace.Eye;
    data.Type = trace.Type;

    // The record list keeps the job step's rule: one line per label.
    TRecordBuilder records;
    for (const std::string& line : data.File.Lines()) {
        std::string_view label;
        std::string_view value;
        if (SplitLine(line, label, value) && !label.empty() && label != "R" && label != "Z")
            records.Set(label, TrimBlanks(value));
    }
    data.Records = records.Take();

    for (const std::string& record : data.Records) {
        const std::string_view label = LabelOf(record);
        const std::string_view value = std::string_view(record).substr(label.size() + 1);
        if (SameTextAscii(label, "DBL")) data.DBL = ReadDBL(value);
        if (SameTextAscii(label, "JOB")) {
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
            return line.find('=') != std::string::npos && SameTextAscii(LabelOf(line), name);
        });
        return;
    }
    for (std::string& line : records) {
        if (line.find('=') != std::string::npos && SameTextAscii(LabelOf(line), name)) {
            line = std::string(name) + "=" + std::string(value);
            return;
        }
    }
    records.push_back(std::string(name) + "=" + std::string(value));
}

std::string RewriteJobFile(TOmaJobFile file, const TJobFileShape& shape, int format) {
    const double jobDBL = shape.JobDBL ? *shape.JobDBL : ReadDBL(file.Value("DBL"));
    // A trace already in the format with the same points stays as written.
    bool sameTrace = false;
    try {
        const TJobTrace trace = file.FirstTrace();
        sameTrace = trace.Format == format && trace.Radii == shape.Radii;
    } catch (const std::exception&) {
        sameTrace = false;  // written anew below, or refused there
    }
    if (!sameTrace) file.ReplaceFirstTrace(format, shape.Radii);
    if (shape.Edited) {
        // Only the records the job has: a reader must not find a box the job never stated.
        const std::string eye = file.FirstTraceEye();
        for (const auto& [label, value] : {std::pair{"HBOX", shape.HBox}, std::pair{"VBOX", shape.VBox},
                                           std::pair{"CIRC", shape.Circ}})
            if (!file.Value(label).empty()) file.SetEyeField(label, eye, FormatWireNumber(value));
    }
    // A DBL of the same number stays as written ("15" is not rewritten "15.00"),
    // and a job without one gets none.
    if (FormatWireNumber(shape.DBL) != FormatWireNumber(jobDBL))
        file.SetRecord("DBL", FormatWireNumber(shape.DBL));
    return file.Text();
}

std::string BuildJobFile(const std::vector<std::string>& records, const TJobFileShape& shape,
                         int format, std::string_view eye) {
    std::vector<std::string> lines;
    // The trace keeps the eye and type of the job's TRCFMT record.
    std::string traceRecord;
    for (const std::string& line : records) {
        // A record never spans lines in a file; a stray line end would split it.
        if (line.find_first_of("\r\n") != std::string::npos) continue;
        if (traceRecord.empty() && line.find('=') != std::string::npos &&
            SameTextAscii(TrimBlanks(LabelOf(line)), "TRCFMT"))
            traceRecord = "TRCFMT=" + line.substr(line.find('=') + 1);
        lines.push_back(line);
    }
    for (const char* label : JobFileDroppedLabels) SetJobRecord(lines, label, "");
    if (traceRecord.empty()) traceRecord = "TRCFMT=1;1;E;R;F";
    if (!eye.empty()) {
        std::vector<std::string> fields;
        for (std::string_view field : SplitFields(std::string_view(traceRecord).substr(7)))
            fields.emplace_back(field);
        if (fields.size() < 4) fields.resize(4);
        fields[3] = eye;
        traceRecord = "TRCFMT=" + JoinFields(fields);
    }
    std::string text;
    for (const std::string& line : lines) text += line + FileLineEnd;
    TOmaJobFile file = TOmaJobFile::Parse(text);
    file.AppendLine(traceRecord);
    // A new file states the shape's boxes whatever records the list had.
    const std::string shownEye = file.FirstTraceEye();
    file.SetEyeField("HBOX", shownEye, FormatWireNumber(shape.HBox));
    file.SetEyeField("VBOX", shownEye, FormatWireNumber(shape.VBox));
    file.SetEyeField("CIRC", shownEye, FormatWireNumber(shape.Circ));
    return RewriteJobFile(std::move(file), shape, format);
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
