#pragma once

// OMA job files: the records of one job and its traces, as labs pass them
// around on disk. A file holds the same records as the host's job data,
// one label=value record per line, without packet framing or checksum.
//
// A file is kept as its lines: what the program does not change is written
// back as it was read, in its place (repeated records, blanks in values, the
// other eye's trace, thickness and Z data). Data blocks are a format record
// (TRCFMT, STHKFMT, ZFMT ...) with the data lines after it (R, A, T, Z); a
// TRCFMT block is a trace, for the eye its TRCFMT names.

#include <cstdint>
#include <filesystem>
#include <optional>
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

// One record: the label trimmed of blanks, the value as written.
struct TJobRecord {
    std::string Label;
    std::string Value;
};

// A trace as its TRCFMT record describes it.
struct TJobTrace {
    // The TRCFMT fields as written: format;count;E;eye;type;...
    std::vector<std::string> Fields;
    int Format = 0;
    // "R", "L", "B" as written; empty when the record names no eye.
    std::string Eye;
    // "F" (frame), "P" (pattern), "D" (demo lens) ...; empty when none.
    std::string Type;
    // Exactly the TRCFMT record's point count.
    std::string Radii;
};

// Whether label starts a data block: it ends in "FMT" (TRCFMT, STHKFMT, ZFMT).
bool IsBlockLabel(std::string_view label);
// Whether label is a data line of a block: R, A, T or Z.
bool IsBlockDataLabel(std::string_view label);

// A job file as its lines. Labels compare without regard to ASCII case.
class TOmaJobFile {
public:
    // Splits text into lines (CR LF, CR and LF each end one); never throws.
    static TOmaJobFile Parse(std::string_view text);
    // The lines, each with its own line end as read (CR LF, LF or CR; the
    // last line without one when the file had none). Lines the program adds
    // end as the line before them, or as the file's first line.
    std::string Text() const;
    // Every line followed by lineEnd.
    std::string Text(std::string_view lineEnd) const;
    const std::vector<std::string>& Lines() const { return FLines; }

    // label=value lines outside the data blocks, in file order, repeated
    // labels included.
    std::vector<TJobRecord> Records() const;
    // The value of the first such record of label; empty when there is none.
    std::string Value(std::string_view label) const;
    // A non-empty value replaces the value of the first record of label in
    // place (its label as written stays); a new record goes before the first
    // data block, or at the end. The empty value removes every record of label.
    void SetRecord(std::string_view label, std::string_view value);
    // Sets the field of eye ("R" field 0, "L" field 1, "B" both) of an "R;L"
    // record to value; the other field stays as written (a record of one
    // value keeps that value for the other eye; a new record leaves it empty).
    void SetEyeField(std::string_view label, std::string_view eye, std::string_view value);

    // Number of traces (TRCFMT blocks).
    int TraceCount() const;
    // The first trace, read and checked. Throws EOmaJobFile ("Cannot find
    // trace data", "Trace type 6 is unsupported", "Trace contains 359 points,
    // but number of points is 360", ...) and EOmaFormat for a value outside
    // 0 to 9999 or beyond the codec's limits. Format 1 values are separated by
    // ";" and read by value, whatever their width.
    TJobTrace FirstTrace() const;
    // Writes radii as the first trace in format (1 to 4): its TRCFMT record
    // takes the format and point count and keeps its other fields; its data
    // lines are replaced (format 1: R records of ten four-digit values). A
    // file without a trace gets one at its end, "E;R;F". Throws EOmaJobFile
    // for another format or an empty shape.
    void ReplaceFirstTrace(int format, std::string_view radii);
    // The eye the first TRCFMT record names; "R" when it names none.
    std::string FirstTraceEye() const;
    // Adds a line at the end.
    void AppendLine(std::string line) { InsertLines(FLines.size(), {std::move(line)}); }

private:
    struct TBlock {
        std::size_t First;  // the format record
        std::size_t End;    // one past its last data line
    };
    std::vector<TBlock> Blocks() const;
    // Indexes of the lines outside the blocks, in order.
    std::vector<std::size_t> OutsideBlocks() const;
    // Index of the first record line of label outside the blocks, or npos.
    std::size_t FindRecord(std::string_view label) const;
    std::size_t FirstBlockLine() const;
    // The first TRCFMT block, or nothing.
    bool FirstTraceBlock(TBlock& block) const;

    TJobTrace ReadFirstTrace() const;
    void InsertLines(std::size_t at, const std::vector<std::string>& lines);
    void EraseLines(std::size_t first, std::size_t end);

    std::vector<std::string> FLines;
    std::vector<std::string> FEnds;  // each line's own line end
    std::string FLineEnd = "\n";     // the file's first line end
    // The first trace as last read, kept until a line changes: saving
    // compares the shape with it, and the reader has already decoded it.
    mutable std::optional<TJobTrace> FFirstTrace;
};

// What a job file holds for the window.
struct TJobFileData {
    // The records for the job's record list, as the job step keeps them:
    // name=value lines in file order, one per label (a label that occurs
    // again keeps its first place and takes the later value, an empty value
    // removes it), labels and values trimmed of blanks; R and Z records are
    // trace data, not records.
    std::vector<std::string> Records;
    // The first trace's points, format, eye and type.
    std::string Radii;
    int Format = 0;
    std::string Eye;
    std::string Type;
    // The first number of the DBL record ("17.00" or "17.00;17.00"); 0 when
    // there is none.
    double DBL = 0;
    // The JOB record's value without its double quotes; empty when none.
    std::string Tray;
    // The file as read, for writing it back.
    TOmaJobFile File;
};

// Reads a job file's text. Throws as TOmaJobFile::FirstTrace, and
// "Cannot find the trace format (no TRCFMT record)" for R records without one.
TJobFileData ParseJobFile(std::string_view text);

// A shape as it goes into a file: its radius string (already at the point
// count to write) and its values in millimetres.
struct TJobFileShape {
    TJobFileShape() = default;
    TJobFileShape(std::string radii, double hbox, double vbox, double circ, double dbl)
        : Radii(std::move(radii)), HBox(hbox), VBox(vbox), Circ(circ), DBL(dbl) {}

    std::string Radii;
    double HBox = 0;
    double VBox = 0;
    double Circ = 0;
    double DBL = 0;
    // Whether the shape was edited: only then do its values replace the
    // job's stated HBOX, VBOX and CIRC (a resampled or reformatted trace
    // keeps what the job states).
    bool Edited = true;
    // The DBL the job was read with, when it did not come from the file's
    // DBL record (a host's job without one); DBL is written only when it
    // differs from it.
    std::optional<double> JobDBL;
};

// Labels not written back from a job's record list: the host conversation's
// own (ANS, STATUS, CRC), and TRCFMT and ZFMT, which describe trace data that
// the record list does not hold.
inline constexpr const char* JobFileDroppedLabels[] = {"ANS", "STATUS", "CRC", "TRCFMT", "ZFMT"};

// The text of a job file as read with its first trace replaced by the shape
// in format (1 to 4), every other line as read, each with its own line end:
// the trace block stays as written when it already holds the shape in that
// format; an edited shape's values replace the shown eye's field of the
// HBOX, VBOX and CIRC records the file has ("%.2f"; no record is added); DBL
// is set to "%.2f" when its number differs from the job's. An unedited shape
// at the file's own format and count gives back the file's bytes. Throws
// EOmaJobFile for another format or an empty shape, EOmaConvert for a group
// that is not a number.
std::string RewriteJobFile(TOmaJobFile file, const TJobFileShape& shape, int format);

// A new job file (CR LF lines) from a record list (name=value lines, the
// host's job data): the dropped labels removed, the shape's boxes stated, the
// trace last, for the eye and type of the list's TRCFMT record ("E;R;F" when
// it has none); Eye, when given, is the eye the shape is of.
std::string BuildJobFile(const std::vector<std::string>& records, const TJobFileShape& shape,
                         int format, std::string_view eye = {});

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
