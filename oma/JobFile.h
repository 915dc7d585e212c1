#pragma once

// OMA job files: the records of one job and its trace, as labs pass them
// around on disk. A file holds the same records as the host's job data,
// one name=value record per line, without packet framing or checksum.
//
// Writing follows the upload's record rules: the job's records kept in their
// order, HBOX, VBOX, CIRC and DBL set from the shape, then the trace in the
// chosen format after its TRCFMT record.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A job file that cannot be read, written or used; what() is the text shown
// to the operator.
class EOmaJobFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Larger files are refused before anything is read: a job file of 4096
// points in format 1 with a few hundred records is about 30 KiB.
inline constexpr std::uintmax_t MaxJobFileSize = 1024 * 1024;

// What a job file holds for the window.
struct TJobFileData {
    // The records as name=value lines in file order, one per label (a label
    // that occurs again keeps its first place and takes the later value);
    // R and Z records are trace data, not records.
    std::vector<std::string> Records;
    // The first trace: the points of the first TRCFMT record's count.
    std::string Radii;
    int Format = 0;
    // The first number of the DBL record ("17.00" or "17.00;17.00"); 0 when
    // there is none.
    double DBL = 0;
    // The JOB record's value without its double quotes; empty when none.
    std::string Tray;
};

// Reads a job file's text as the job step reads job data: lines end at CR or
// LF; a line "label=value" is a record; the first TRCFMT record gives the
// trace format (1 to 4) and point count; the R records after it, up to the
// next format record (TRCFMT, STHKFMT, ZFMT ...), are the trace: in format 1
// their digits, each record taken whole while fewer points than the count are
// read; in formats 2 to 4 the escaped payload of the first of them. A record with an empty value removes its label. Throws EOmaJobFile for a file without a usable trace
// ("Cannot find trace data", "Trace type 6 is unsupported", "Trace contains
// 359 points, but number of points is 360", ...) and EOmaFormat for trace
// data with a value outside 0 to 9999 or beyond the codec's limits.
TJobFileData ParseJobFile(std::string_view text);

// A shape as it goes into a file: its radius string (already at the point
// count to write) and its values in millimetres.
struct TJobFileShape {
    std::string Radii;
    double HBox = 0;
    double VBox = 0;
    double Circ = 0;
    double DBL = 0;
};

// Labels not written back from the records: the host conversation's own
// (ANS, STATUS, CRC), and TRCFMT and ZFMT, which describe trace data that the
// file carries anew (Z data is not kept).
inline constexpr const char* JobFileDroppedLabels[] = {"ANS", "STATUS", "CRC", "TRCFMT", "ZFMT"};

// The text of a job file: every record of records (name=value lines) in its
// order with HBOX, VBOX and CIRC set to "%.2f;%.2f" of the shape and DBL to
// "%.2f" ("." as the separator), the dropped labels removed, then
// "TRCFMT=<format>;<points>;E;R;F" and the trace records of that format
// (1 to 4). Every line ends in CR LF. Throws EOmaJobFile for another format or
// an empty shape, EOmaConvert for a group that is not a number.
std::string BuildJobFile(const std::vector<std::string>& records, const TJobFileShape& shape,
                         int format);

// Sets name to value in records (name=value lines, names compared without
// regard to ASCII letter case): the first line of that name is replaced in
// place, or a line is added at the end; an empty value removes every line of
// that name.
void SetJobRecord(std::vector<std::string>& records, std::string_view name,
                  std::string_view value);

// The bytes of a file, refused with EOmaJobFile ("... is too large ...") before
// reading when it is larger than MaxJobFileSize, and when it cannot be read.
std::string ReadJobFileBytes(const std::filesystem::path& fileName);

// Writes text to fileName without ever leaving it half written: the text
// goes to a temporary file in the same folder, an existing file is copied to
// fileName + ".bak", and the temporary file is renamed over fileName. On any
// failure the temporary file is removed, fileName is as it was, and EOmaJobFile
// names the file and the system's reason.
void WriteJobFileBytes(const std::filesystem::path& fileName, std::string_view text);
