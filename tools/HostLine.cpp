#include "tools/HostLine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "oma/OMAMach.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr std::size_t MaxLoggedUnframed = 1024 * 1024;

std::atomic<TClock::rep> TrafficAt{TClock::now().time_since_epoch().count()};

}  // namespace

std::chrono::steady_clock::time_point LastTraffic() {
    return TClock::time_point(TClock::duration(TrafficAt.load()));
}

std::string FormatLogData(std::string_view stamp, std::string_view direction,
                          std::string_view bytes) {
    std::string rendered = RenderControlChars(bytes);
    std::string out;
    std::size_t start = 0;
    while (start < rendered.size()) {
        auto end = rendered.find("\r\n", start);
        if (end == std::string::npos) end = rendered.size();
        out.append(stamp).append(" ").append(direction).append(" ");
        out.append(rendered, start, end - start).append("\n");
        start = end + 2;
    }
    return out;
}

THostLog::TSink::~TSink() {
    if (Owned) std::fclose(Out);
}

THostLog::THostLog(const std::string& path) : FSink(std::make_shared<TSink>()) {
    if (path.empty()) return;
    FSink->Out = std::fopen(path.c_str(), "a");
    if (!FSink->Out) {
        FSink->Out = stderr;
        throw ELine("Cannot open the log " + path + ": " + std::strerror(errno));
    }
    FSink->Owned = true;
}

THostLog::THostLog(const THostLog& parent, std::string tag)
    : FSink(parent.FSink), FTag(std::move(tag)) {}

std::string THostLog::Stamp() const {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    const std::tm local = *std::localtime(&seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms.count()));
    return FTag.empty() ? std::string(text) : std::string(text) + " " + FTag;
}

void THostLog::Put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), FSink->Out);
    std::fflush(FSink->Out);
}

void THostLog::Data(std::string_view direction, std::string_view bytes) {
    const std::lock_guard<std::mutex> hold(FSink->Lock);
    if (FSink->Brief) return;
    Put(FormatLogData(Stamp(), direction, bytes));
}

void THostLog::Note(std::string_view text) {
    const std::lock_guard<std::mutex> hold(FSink->Lock);
    Put(Stamp() + " -- " + std::string(text) + "\n");
}

void THostLog::Detail(std::string_view text) {
    const std::lock_guard<std::mutex> hold(FSink->Lock);
    if (FSink->Brief) return;
    Put(Stamp() + " -- " + std::string(text) + "\n");
}

std::unique_ptr<THostLine> THostListener::Accept(THostLog& log) {
    std::unique_ptr<THostLine> client;
    std::string why;
    if (WaitClient(client, std::chrono::milliseconds(-1), why) == laClient) return client;
    log.Note("ended by " + why);
    return nullptr;
}

bool THostLine::Write(std::string_view bytes, unsigned paceBaud) {
    using namespace std::chrono;
    const auto byteTime = paceBaud ? duration<double>(10.0 / paceBaud) : duration<double>(0);
    // Blocks of about a millisecond keep the pace even without a write per byte.
    const std::size_t block =
        paceBaud ? std::max<std::size_t>(1, paceBaud / 10 / 1000) : bytes.size();
    const auto start = std::max(TClock::now(), FLineFreeAt);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (paceBaud)
            std::this_thread::sleep_until(start + duration_cast<TClock::duration>(byteTime * sent));
        const long n = Put(bytes.substr(sent, std::min(block, bytes.size() - sent)));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0) {
            FBroken = true;
            return false;
        }
        if (!WaitWritable(seconds(2))) return false;
    }
    if (paceBaud) {
        FLineFreeAt = start + duration_cast<TClock::duration>(byteTime * bytes.size());
        std::this_thread::sleep_until(FLineFreeAt);
    }
    return true;
}

TLineEnd ServeLine(const THostOptions& options, THostLine& line, THostLog& log,
                   const std::function<std::optional<THostRunEnd>(std::string_view)>& onBytes) {
    auto lastTraffic = TClock::now();
    std::size_t unframed = 0;
    bool floodNoted = false;
    TLineEnd end;
    while (true) {
        auto timeout = std::chrono::milliseconds(-1);
        if (options.IdleExitMs) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - lastTraffic);
            timeout = std::max(std::chrono::milliseconds(0),
                               std::chrono::milliseconds(options.IdleExitMs) - idle);
        }
        std::string bytes;
        const THostLine::TWait got = line.Wait(bytes, timeout, end.Why);
        if (got != THostLine::lwData) {
            end.Cause = got;
            end.End = got == THostLine::lwSignal ? reSignal
                      : got == THostLine::lwIdle ? reLimit
                                                 : reHangUp;
            return end;
        }
        lastTraffic = TClock::now();
        TrafficAt = lastTraffic.time_since_epoch().count();
        // A client that sends on and on without ending a packet is logged up to a
        // limit: its flood must not fill the disk or hold up the other sessions' lines.
        if (unframed <= MaxLoggedUnframed) log.Data("<-", bytes);
        unframed = bytes.find(GS) != std::string::npos ? 0 : unframed + bytes.size();
        if (unframed > MaxLoggedUnframed && !floodNoted)
            log.Note("more than " + std::to_string(MaxLoggedUnframed) +
                     " bytes without a packet end: not logged until the next one");
        floodNoted = unframed > MaxLoggedUnframed;
        const std::optional<THostRunEnd> stop = onBytes(bytes);
        lastTraffic = TClock::now();
        if (stop) {
            end.End = *stop;
            return end;
        }
    }
}

int RunHost(const THostOptions& options, THostLine& line, THostSession& session, THostLog& log,
            TLineEnd* end) {
    const TLineEnd ended = ServeLine(options, line, log, [&](std::string_view bytes) {
        std::optional<THostRunEnd> stop;
        for (const auto& reply : session.Feed(bytes, line.Baud())) {
            log.Detail(std::string(ReplyKindName(reply.Kind)) + ": " + reply.Note);
            for (const auto& chunk : reply.Chunks) {
                if (chunk.GapMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(chunk.GapMs));
                // Logged once written, so whoever reads the log knows the
                // bytes are on the line.
                const bool written = line.Write(chunk.Bytes, options.PaceBaud);
                log.Data("->", chunk.Bytes);
                if (!written && line.Broken()) {
                    // A client gone mid-reply ends this session only.
                    log.Note("the client is gone: the rest of the reply is dropped");
                    return stop = reHangUp;
                }
                if (!written) {
                    log.Note("the line takes no more data: the rest of the reply is dropped");
                    break;
                }
            }
            if (reply.HangUp) {
                // What was sent before the hang-up was on the wire: let the client have it.
                line.Drain(std::chrono::seconds(2));
                line.HangUp();
                log.Note("hung up");
                return stop = reHangUp;
            }
        }
        if (options.MaxExchanges && session.Exchanges() >= options.MaxExchanges) {
            line.Drain(std::chrono::seconds(2));
            log.Note("ended after " + std::to_string(session.Exchanges()) + " exchanges");
            stop = reLimit;
        }
        return stop;
    });
    int code = ended.End == reHangUp && line.Broken() ? 1 : 0;
    switch (ended.Cause) {
        case THostLine::lwSignal: log.Note("ended by " + ended.Why); break;
        case THostLine::lwIdle:
            log.Note("ended after " + std::to_string(options.IdleExitMs) + " ms without traffic");
            break;
        case THostLine::lwHungUp:
            log.Note("the line hung up");
            code = 1;
            break;
        case THostLine::lwFailed:
            log.Note("the line failed: " + ended.Why);
            code = 1;
            break;
        case THostLine::lwData: break;
    }
    if (end) *end = ended;
    return code;
}

ELine THostListener::NotNumeric() const {
    return ELine("Cannot listen on " + FAddress + ": not a numeric IPv4 or IPv6 address");
}

ELine THostListener::CannotListen(const std::string& reason) const {
    return ELine("Cannot listen on " + FAddress + ":" + PortText() + ": " + reason);
}

std::string EndpointText(bool named, const char* host, const char* port) {
    if (!named) return "?";
    const std::string text(host);
    return text.find(':') != std::string::npos ? "[" + text + "]:" + port : text + ":" + port;
}
