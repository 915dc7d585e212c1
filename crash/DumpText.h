#pragma once

// Building a dump from a signal handler: a fixed buffer, no allocation, no
// locale, only async-signal-safe work. Full buffers go to a sink (the
// platform's raw write to the prepared file); a failed write is ignored,
// because the dump's last line tells the reader whether all of it arrived.

#include <cstddef>
#include <cstdint>

// The first and last line of every dump; a dump without its last line is
// incomplete (full disk, a second failure while writing) and is discarded.
inline constexpr const char* DumpFirstLine = "trevalon dump 1\n";
inline constexpr const char* DumpLastLine = "end of dump\n";

using TDumpSink = void (*)(const char* data, std::size_t size);

class TDumpText {
public:
    explicit TDumpText(TDumpSink sink) : FSink(sink) {}
    TDumpText(const TDumpText&) = delete;
    TDumpText& operator=(const TDumpText&) = delete;
    ~TDumpText() { Flush(); }

    TDumpText& Add(const char* text);
    TDumpText& Add(const char* data, std::size_t size);
    // Text on one line: line breaks and other control characters become
    // spaces, and at most Limit characters are kept.
    TDumpText& AddLine(const char* text, std::size_t limit);
    TDumpText& AddDec(std::uint64_t value);
    TDumpText& AddHex(std::uint64_t value);
    void Flush();

private:
    TDumpSink FSink;
    char FBuffer[1024];
    std::size_t FSize = 0;
};

// The facts a handler knows about a failure. Texts may be null.
struct TCrashFacts {
    const char* Version = nullptr;
    const char* Event = nullptr;          // "signal 11 SIGSEGV (segmentation fault)", "terminate"
    bool HasAddress = false;              // the faulting address, for memory faults
    std::uint64_t Address = 0;
    const char* ExceptionType = nullptr;  // the exception's type, mangled
    const char* Message = nullptr;        // its what()
    const char* Where = nullptr;          // where it escaped
    std::int64_t Time = 0;                // seconds since 1970, UTC
    std::uint64_t Process = 0;
    std::uint64_t Thread = 0;
    bool MainThread = false;
    bool TopExact = false;  // the first frame is the failing instruction, not a return address
    const void* const* Frames = nullptr;
    std::size_t FrameCount = 0;
};

// Copies Text (null: nothing) into Target of Size bytes, cut and ended by NUL.
void CopyText(char* target, std::size_t size, const char* text);

// Inside std::terminate's handler: the type (mangled) and what() of the
// exception being handled, copied into the buffers given and set in Facts;
// nothing when there is none.
void DescribeCurrentException(TCrashFacts& facts, char* type, std::size_t typeSize, char* message,
                              std::size_t messageSize);

// Writes everything up to the module list: the first line, the facts and the
// frames; the platform adds its "modules" section and the last line.
void WriteDumpHead(TDumpText& out, const TCrashFacts& facts);
