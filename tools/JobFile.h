#pragma once

// The lab host simulator's jobs: one OMA job file per tray, as labs keep them
// (read and rewritten with oma/JobFile.h, the program's own job files). The
// host serves the first trace and rewrites it when a tracer stores a new shape.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "oma/JobFile.h"

// A job file that cannot be read or written; what() is the reason.
class EJobFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

// Jobs as files <folder>/<tray>.oma, written as the program writes its job
// files: the previous version of a stored job is kept as <tray>.oma.bak, and
// the new one replaces the old in one rename.
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
