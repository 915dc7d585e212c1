#include "tools/HostServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <list>
#include <thread>
#include <utility>

#include "tools/HostAllow.h"
#include "tools/HostSession.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TRunning {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done = std::make_shared<std::atomic<bool>>(false);
    bool Client = false;  // a listener's connection (counted against --max-sessions)
};

std::string Seconds(TClock::duration duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", std::chrono::duration<double>(duration).count());
    return text;
}

// One session from its line's first byte to its end, with its summary line.
void Serve(const THostOptions& options, THostLine& line, TJobStore& jobs, TTrayLocks& locks,
           THostLog& log) {
    const auto start = TClock::now();
    THostSession session(options.Host, jobs, &locks);
    TLineEnd ended;
    RunHost(options, line, session, log, &ended);
    const std::string device = session.Device().empty() ? "-" : session.Device();
    const std::string tray = session.LastTray().empty() ? "-" : session.LastTray();
    log.Note("session " + line.Name() + " ended: device " + device + ", tray " + tray + ", " +
             std::to_string(session.JobsServed()) + " served, " + std::to_string(session.Stored()) +
             " stored, " + std::to_string(session.Refused()) + " refused, " +
             SessionEndText(ended, line.Broken()) + ", " + Seconds(TClock::now() - start));
    if (ended.Cause == THostLine::lwData && ended.End == reLimit)
        RequestStop("the exchange limit of a session");
}

}  // namespace

std::string SessionEndText(const TLineEnd& end, bool lineBroken) {
    switch (end.Cause) {
        case THostLine::lwHungUp:
            return "closed by the client";
        case THostLine::lwIdle:
            return "closed when idle";
        case THostLine::lwSignal:
            return "stopped by " + end.Why;
        case THostLine::lwFailed:
            return "the line failed: " + end.Why;
        case THostLine::lwData:
            break;
    }
    if (end.End == reHangUp) return lineBroken ? "the client went away mid-reply" : "hung up";
    return "exchange limit reached";
}

int ServeLab(const THostOptions& options, TJobStore& jobs, THostLog& log,
             std::vector<std::unique_ptr<THostLine>> lines, THostListener* listener) {
    TTrayLocks locks;
    std::list<TRunning> running;
    unsigned number = 0;
    THostOptions lineOptions = options;
    lineOptions.IdleExitMs = 0;  // the program's idle limit is kept here, over all lines
    THostOptions clientOptions = lineOptions;
    clientOptions.IdleExitMs = options.SessionIdleMs;

    // The session's thread owns its line and its log: a connection is closed
    // the moment its session ends.
    const auto start = [&](std::unique_ptr<THostLine> line, bool client) {
        TRunning& run = running.emplace_back();
        run.Client = client;
        const THostOptions& sessionOptions = client ? clientOptions : lineOptions;
        run.Thread =
            std::thread([&sessionOptions, &jobs, &locks, served = std::move(line),
                         tagged = std::make_unique<THostLog>(log, "#" + std::to_string(++number)),
                         done = run.Done]() mutable {
                try {
                    Serve(sessionOptions, *served, jobs, locks, *tagged);
                } catch (const std::exception& e) {
                    tagged->Note(std::string("session failed: ") + e.what());
                }
                served.reset();
                *done = true;
            });
    };
    // Joins the sessions that have ended.
    const auto reap = [&] {
        for (auto run = running.begin(); run != running.end();) {
            if (*run->Done) {
                run->Thread.join();
                run = running.erase(run);
            } else {
                ++run;
            }
        }
    };

    for (auto& line : lines) {
        log.Note("serving " + line->Name() + " as session #" + std::to_string(number + 1));
        start(std::move(line), false);
    }
    std::vector<TAllowRule> allowed;
    if (listener) {
        std::string warning;
        allowed = AllowRulesFor(options.ListenAddress, options.Allow, warning);
        if (!warning.empty()) log.Note("warning: " + warning);
    }
    int code = 0;
    std::string why;
    while (true) {
        reap();
        if (!listener && running.empty()) break;
        auto wait = std::chrono::milliseconds(listener ? -1 : 1000);
        if (options.IdleExitMs) {
            const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() -
                                                                                    LastTraffic());
            const auto left = std::chrono::milliseconds(options.IdleExitMs) - idle;
            if (left.count() <= 0) {
                log.Note("ended after " + std::to_string(options.IdleExitMs) +
                         " ms without traffic");
                RequestStop("the idle limit");
                break;
            }
            wait = wait.count() < 0 ? left : std::min(wait, left);
        }
        if (!listener) {
            if (WaitStop(wait, why)) break;
            continue;
        }
        std::unique_ptr<THostLine> client;
        const THostListener::TAccept got = listener->WaitClient(client, wait, why);
        if (got == THostListener::laStop) break;
        if (got == THostListener::laIdle) continue;
        if (!Allowed(allowed, client->Peer())) {
            log.Note("connection from " + client->Name() + " closed at once: not allowed");
            continue;  // closed here, unread
        }
        const auto clients = static_cast<unsigned>(std::count_if(
            running.begin(), running.end(),
            [](const TRunning& r) { return r.Client && !*r.Done; }));
        if (clients >= options.MaxSessions) {
            log.Note("connection from " + client->Name() +
                     " closed at once: " + std::to_string(clients) + " clients are being served");
            continue;
        }
        log.Detail("connection from " + client->Name() + " is session #" +
                 std::to_string(number + 1));
        start(std::move(client), true);
    }
    if (!why.empty()) log.Note("ended by " + why);
    // Every session sees the stop in its wait; a write in progress gives up within seconds.
    RequestStop(why.empty() ? "the end of the program" : why);
    for (TRunning& run : running) run.Thread.join();
    return code;
}
