// The replay's side of the line: read the client's bytes, answer with the
// recorded chunks, stop at the first divergence.
#include <chrono>
#include <cstdio>
#include <thread>

#include "tools/HostLine.h"
#include "tools/HostOptions.h"
#include "tools/HostReplay.h"

namespace {

// Sends Chunks at their gaps; false when the line takes no more.
bool Send(const std::vector<THostChunk>& chunks, const THostOptions& options, THostLine& line,
          THostLog& log) {
    for (const THostChunk& chunk : chunks) {
        if (chunk.GapMs) std::this_thread::sleep_for(std::chrono::milliseconds(chunk.GapMs));
        const bool written = line.Write(chunk.Bytes, options.PaceBaud);
        log.Data("->", chunk.Bytes);
        if (!written) return false;
    }
    return true;
}

}  // namespace

int RunReplay(const THostOptions& options, THostLine& line, THostReplay& replay, THostLog& log) {
    int code = 1;
    if (Send(replay.Opening(), options, line, log) && !replay.Finished()) {
        const TLineEnd ended = ServeLine(options, line, log, [&](std::string_view bytes) {
            const std::vector<THostChunk> due = replay.Feed(bytes);
            if (replay.Divergence()) {
                const std::string report = replay.Divergence()->Report();
                log.Note("diverged at " + report);
                // Said once: a log on standard error has just said it.
                if (!log.ToStandardError())
                    std::fprintf(stderr,
                                 "trevalon-host: the client diverged from the transcript at %s\n",
                                 report.c_str());
                code = 3;
                return std::optional<THostRunEnd>(reLimit);
            }
            if (!Send(due, options, line, log) || replay.Finished())
                return std::optional<THostRunEnd>(reLimit);
            return std::optional<THostRunEnd>();
        });
        switch (ended.Cause) {
            case THostLine::lwSignal:
                log.Note("ended by a signal before the replay was finished");
                break;
            case THostLine::lwIdle:
                log.Note("ended after " + std::to_string(options.IdleExitMs) +
                         " ms without traffic");
                break;
            case THostLine::lwHungUp:
            case THostLine::lwFailed:
                log.Note("the line hung up before the replay was finished");
                break;
            case THostLine::lwData: break;
        }
    }
    if (replay.Finished()) {
        line.Drain(std::chrono::seconds(2));
        log.Note("replay finished: the client did as recorded (" +
                 std::to_string(replay.ClientBytes()) + " bytes)");
        code = 0;
    }
    return code;
}
