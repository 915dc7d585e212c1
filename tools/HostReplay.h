#pragma once

// The host's side of a session transcript, played back: the client's bytes
// must come as recorded, and the host's recorded chunks answer them at their
// recorded times (or at once). No I/O and no clock: the caller owns the line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversation/Transcript.h"
#include "tools/HostSession.h"

// Where the client first did something else than it did when recorded.
struct TDivergence {
    std::size_t Offset = 0;  // of the client's bytes, from the first
    std::string Expected;    // the recorded bytes from there (up to 32), or empty past the end
    std::string Received;    // the bytes that came instead (up to 32)
    // One line: "client byte 17: expected ... received ..." with control
    // characters rendered as the communication log renders them.
    std::string Report() const;
};

class THostReplay {
public:
    // Fast: the host's chunks without their recorded pauses.
    THostReplay(const TTranscript& transcript, bool fast);

    // Takes bytes from the client; returns the host's chunks now due, in order.
    // After a divergence nothing more is answered.
    std::vector<THostChunk> Feed(std::string_view bytes);
    // The host's chunks due before the client sends anything (none in a
    // conversation the client opens, as every one of ours does).
    std::vector<THostChunk> Opening();

    const std::optional<TDivergence>& Divergence() const { return FDivergence; }
    // Every recorded byte of the client has come, and every chunk of the host is out.
    bool Finished() const { return !FDivergence && FEntry >= FChunks.size(); }
    std::size_t ClientBytes() const { return FClientOffset; }

private:
    std::vector<THostChunk> Due();

    struct TChunk {
        bool FromClient = false;
        std::uint32_t Ms = 0;
        std::string Bytes;
    };
    std::vector<TChunk> FChunks;
    bool FFast = false;
    std::size_t FEntry = 0;   // the next chunk
    std::size_t FOffset = 0;  // into it, for a client chunk partly seen
    std::size_t FClientOffset = 0;
    std::uint32_t FLastMs = 0;  // when the last chunk before the due ones happened
    std::optional<TDivergence> FDivergence;
};

class THostLine;
class THostLog;
struct THostOptions;

// Plays Replay on Line until it is finished (then waits up to two seconds for
// the client to read the last bytes), diverges, or the line hangs up or a
// signal ends it. Returns 0 when the client did exactly as recorded, 3 at a
// divergence (reported in the log and on standard error), 1 otherwise.
int RunReplay(const THostOptions& options, THostLine& line, THostReplay& replay, THostLog& log);
