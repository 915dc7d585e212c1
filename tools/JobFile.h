#pragma once

// Job files of the lab host simulator: one OMA record file per tray, as labs
// keep them (label=value lines, a format 1 trace per eye). The host serves the
// first trace and rewrites it when a tracer stores a new shape.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A job file that cannot be read or written; what() is the reason.
class EJobFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One record line split at its first "=", the label trimmed of spaces.
struct TJobRecord {
    std::string Label;
    std::string Value;
};

// Labels that belong to trace data, not to the job.
bool IsTraceLabel(std::string_view label);

// A job file kept as its lines, so that a rewrite changes only what it must
// and keeps the file's own line ends.
class TJobFile {
public:
    // Lines may end in CR LF, LF or CR; the first line end found is used when writing.
    static TJobFile Parse(std::string_view text);
    std::string Text() const;

    // Records outside the trace data, in file order.
    std::vector<TJobRecord> Records() const;

    struct TTrace {
        std::vector<std::string> Fields;  // of its TRCFMT record: format;count;type;side;...
        std::string Radii;                // radius string of exactly count points
    };
    // The first trace; throws EJobFile when there is none or it cannot be read.
    TTrace FirstTrace() const;

    // Replaces the value of the first record with this label (case-insensitively) in place;
    // a new label goes before the first trace, or at the end.
    void SetRecord(std::string_view label, std::string_view value);
    // The first trace becomes format 1 with the points of radii; its other TRCFMT
    // fields (type, side, frame) stay.
    void ReplaceFirstTrace(std::string_view radii);

private:
    // Index of the first TRCFMT line, or npos.
    std::size_t FirstTraceLine() const;
    // One past the last line of the trace block starting at first.
    std::size_t TraceBlockEnd(std::size_t first) const;

    std::vector<std::string> FLines;
    std::string FLineEnd = "\n";
    bool FFinalLineEnd = true;
};

// Where the simulator's jobs live. Trays reach it already checked by IsSafeTray.
class TJobStore {
public:
    virtual ~TJobStore() = default;
    // The job file's text, or nothing when the tray has no job.
    virtual std::optional<std::string> Load(std::string_view tray) = 0;
    // Replaces the job file, keeping the previous version; throws EJobFile.
    virtual void Save(std::string_view tray, std::string_view text) = 0;
};

// A tray number that can name a file: 1 to 40 letters, digits, '-' or '_'.
bool IsSafeTray(std::string_view tray);

// Jobs as files <folder>/<tray>.oma; the previous version of a stored job is
// kept as <tray>.oma.bak, and the new one replaces the old in one rename.
class TJobFolder : public TJobStore {
public:
    explicit TJobFolder(std::filesystem::path folder) : FFolder(std::move(folder)) {}
    std::optional<std::string> Load(std::string_view tray) override;
    void Save(std::string_view tray, std::string_view text) override;

    std::filesystem::path JobPath(std::string_view tray) const;
    std::filesystem::path BackupPath(std::string_view tray) const;

private:
    std::filesystem::path FFolder;
};
