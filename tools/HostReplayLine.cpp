// The replay's side of the line: read the client's bytes, answer with the
// recorded chunks, stop at the first divergence.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) throw ELine(std::string("Cannot watch for signals: ") + std::strerror(errno));

    int code = 1;
    std::array<char, 4096> buffer{};
    bool sending = Send(replay.Opening(), options, line, log);
    while (sending && !replay.Finished()) {
        const int timeout = options.IdleExitMs ? static_cast<int>(options.IdleExitMs) : -1;
        std::array<pollfd, 2> fds{{{line.Fd(), POLLIN, 0}, {signalFd, POLLIN, 0}}};
        const int ready = poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (fds[1].revents) {
            log.Note("ended by a signal before the replay was finished");
            break;
        }
        if (ready == 0) {
            log.Note("ended after " + std::to_string(options.IdleExitMs) + " ms without traffic");
            break;
        }
        const auto n = read(line.Fd(), buffer.data(), buffer.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            log.Note("the line hung up before the replay was finished");
            break;
        }
        const std::string_view bytes(buffer.data(), static_cast<std::size_t>(n));
        log.Data("<-", bytes);
        const std::vector<THostChunk> due = replay.Feed(bytes);
        if (replay.Divergence()) {
            const std::string report = replay.Divergence()->Report();
            log.Note("diverged at " + report);
            std::fprintf(stderr, "trevalon-host: the client diverged from the transcript at %s\n",
                         report.c_str());
            code = 3;
            break;
        }
        sending = Send(due, options, line, log);
    }
    if (replay.Finished()) {
        line.Drain(std::chrono::seconds(2));
        log.Note("replay finished: the client did as recorded (" +
                 std::to_string(replay.ClientBytes()) + " bytes)");
        code = 0;
    }
    close(signalFd);
    return code;
}
