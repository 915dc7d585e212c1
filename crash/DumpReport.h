#pragma once

// Turning the dumps a crashed process left (see CrashHandler.h) into readable
// reports at the next start: version, time, what happened and every frame
// with function, file and line where known.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A piece of code the crashed process had loaded: a mapping of a file.
struct TDumpModule {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;  // one past the last byte
    std::string Id;         // identifies the file's version ("device inode"); may be empty
    std::string Path;
};

struct TDump {
    std::string Version;
    std::int64_t Time = 0;
    std::uint64_t Process = 0;
    std::uint64_t Thread = 0;
    bool MainThread = false;
    std::string Event;
    std::optional<std::uint64_t> Address;
    std::string ExceptionType;  // mangled, as the runtime names it
    std::string Message;
    std::string Where;
    bool TopExact = false;
    std::vector<std::uint64_t> Frames;
    std::vector<TDumpModule> Modules;
};

// Reads a dump; nothing unless it is complete and well formed.
std::optional<TDump> ParseDump(std::string_view text);

struct TFrameInfo {
    std::string Function;  // empty when unknown
    std::string File;      // empty when unknown
    unsigned Line = 0;     // 0 when unknown
    std::string Module;    // the file the code came from; empty when unknown
    std::uint64_t Offset = 0;  // the address's offset in Module
};

// Finds the code of Frame number Index of Dump.
using TFrameResolver = std::function<TFrameInfo(const TDump& dump, std::size_t index)>;

// Resolves frames through this process: code the crashed process shared with
// it (the same program, the same libraries, unchanged since) is symbolized
// with Boost.Stacktrace; other code is named by module and offset. On
// Windows the function is read from the module file's COFF symbol table
// (no file and line), when the file is still the size it was loaded at.
TFrameResolver SymbolResolver();
// Names every frame by module and offset only.
TFrameInfo ModuleOnly(const TDump& dump, std::size_t index);

// "signal 11 SIGSEGV (segmentation fault) at address 0x0", "uncaught
// exception std::runtime_error: "boom"" and the like.
std::string DescribeFailure(const TDump& dump);
// Local time as "2026-12-07 14:03:59".
std::string FormatLocalTime(std::int64_t time);
std::string FormatReport(const std::string& programName, const TDump& dump, const TFrameResolver& resolve);

struct TCrashReport {
    std::string Path;
    std::int64_t Time = 0;
    std::string Failure;  // DescribeFailure of its dump
};

// Turns every dump in Folder whose process has ended into a report named
// "<programName lower case>-<UTC time>-<process>.txt" and deletes the dump;
// empty and incomplete dumps are deleted without a report. A dump whose
// conversion an earlier start did not finish is reported without symbols. Then keeps the
// newest Keep reports. Returns the new reports, oldest first.
std::vector<TCrashReport> ConvertDumps(const std::string& folder, const std::string& programName,
                                       std::size_t keep = 10,
                                       const TFrameResolver& resolve = SymbolResolver());

// Platform part: a type name as the compiler's runtime names it, readable.
std::string DemangleTypeName(const std::string& name);

// Platform part: a dump file taken over from its ended process.
struct TTakenDump {
    std::string Text;
    std::string TakenPath;  // renamed while being converted; delete when done
};
// Takes Path when no living process holds it; nothing otherwise.
std::optional<TTakenDump> TakeDump(const std::string& path);
