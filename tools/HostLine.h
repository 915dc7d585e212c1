#pragma once

// The simulator's side of the line: a pseudo-terminal it creates and links
// where the client's settings can name it, a serial device, or a client's TCP
// connection; paced writing; and the loop that feeds the client's bytes to
// the session. The lines themselves are platform code (HostLinePosix.cpp;
// HostLineWin32.cpp has the TCP listener only: Windows has no pseudo-terminals).

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/HostOptions.h"
#include "tools/HostSession.h"

// The line could not be set up or failed; what() carries the system's reason.
class ELine : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Lines of the exchange log: each line of RenderControlChars' output after the
// time and the direction ("<-" from the client, "->" to it).
std::string FormatLogData(std::string_view stamp, std::string_view direction,
                          std::string_view bytes);

// The exchange log. Sessions served at the same time each write through a
// tagged log of their own; a line is written whole, never mixed with another.
class THostLog {
public:
    // Empty path: standard error. Throws ELine when the file cannot be opened.
    explicit THostLog(const std::string& path);
    // Writes where Parent writes, each line marked with Tag after the time.
    THostLog(const THostLog& parent, std::string tag);
    THostLog(const THostLog&) = delete;
    THostLog& operator=(const THostLog&) = delete;

    // Brief: the exchanged bytes are left out, notes are kept (a system
    // journal wants a line per session, not per byte).
    void SetBrief(bool brief) { FSink->Brief = brief; }
    // Whether the log is written to standard error (no log file).
    bool ToStandardError() const { return FSink->Out == stderr; }
    void Data(std::string_view direction, std::string_view bytes);
    void Note(std::string_view text);
    // A note about one exchange, which a brief log leaves out.
    void Detail(std::string_view text);

private:
    struct TSink {
        std::mutex Lock;
        std::FILE* Out = stderr;
        bool Owned = false;
        bool Brief = false;
        ~TSink();
    };
    void Put(const std::string& text);
    // The time (and tag); called with the sink locked, as localtime's result is shared.
    std::string Stamp() const;
    std::shared_ptr<TSink> FSink;
    std::string FTag;
};

// An IPv4 or IPv6 peer address as numbers, for the listener's allow list.
struct THostPeer {
    bool Known = false;
    bool V6 = false;  // an IPv4-mapped IPv6 address counts as IPv4
    std::array<std::uint8_t, 16> Bytes{};
};

class THostLine {
public:
    // A raw pseudo-terminal; linkPath becomes a symbolic link to its device. An
    // existing symbolic link there is replaced; anything else there is an error.
    static std::unique_ptr<THostLine> CreatePty(const std::string& linkPath);
    static std::unique_ptr<THostLine> OpenDevice(const std::string& path, unsigned baud);
    virtual ~THostLine() = default;
    THostLine(const THostLine&) = delete;
    THostLine& operator=(const THostLine&) = delete;

    const std::string& Name() const { return FName; }
    // The client's address for a TCP connection; not Known for other lines.
    const THostPeer& Peer() const { return FPeer; }
    // True once a write found the line gone (the client closed or reset it):
    // its session ends, the process goes on.
    bool Broken() const { return FBroken; }
    // The speed the client set on the line (for a device, its own); 0 when unknown.
    virtual unsigned Baud() const { return 0; }
    // Writes all bytes; with paceBaud each byte takes the 10 bits' time it takes on a real
    // line, and the call returns when the last one would have left. False when the line
    // took nothing for two seconds.
    bool Write(std::string_view bytes, unsigned paceBaud);
    // Waits up to timeout for the client to read what was written.
    virtual void Drain(std::chrono::milliseconds timeout) = 0;
    // Ends the connection as a modem would: the client's device sees the hang-up.
    virtual void HangUp() = 0;

    enum TWait : std::uint8_t {
        lwData,     // bytes were appended
        lwIdle,     // the time ran out
        lwSignal,   // SIGINT, SIGTERM or the console's Ctrl+C; Why names it
        lwHungUp,   // the client hung up or closed
        lwFailed,   // the line failed; Why says how
    };
    // Sleeps until the client's bytes come (appended to Into), the line ends,
    // a signal to stop comes, or Timeout passes (negative: no limit).
    virtual TWait Wait(std::string& into, std::chrono::milliseconds timeout, std::string& why) = 0;

protected:
    explicit THostLine(std::string name) : FName(std::move(name)) {}
    THostPeer FPeer;
    // Writes what the line takes of Bytes now: how many, or -1 when it failed.
    virtual long Put(std::string_view bytes) = 0;
    // Waits up to Timeout until the line takes more; false when it does not.
    virtual bool WaitWritable(std::chrono::milliseconds timeout) = 0;

private:
    std::string FName;
    bool FBroken = false;
    std::chrono::steady_clock::time_point FLineFreeAt{};
};

// Wakes every line's wait and the listener as a stop signal does (they
// report lwSignal with Why); later waits see it too. Thread-safe.
void RequestStop(const std::string& why);
// Sleeps up to Timeout (negative: no limit) for a stop signal or RequestStop:
// true, with Why, when one came.
bool WaitStop(std::chrono::milliseconds timeout, std::string& why);

// The time of the last bytes any line received (or of the start): the
// program's own idle limit when it serves several lines.
std::chrono::steady_clock::time_point LastTraffic();

// Why a line stopped being served.
enum THostRunEnd : std::uint8_t {
    reSignal,  // SIGINT or SIGTERM
    reLimit,   // the exchange or idle limit
    reHangUp,  // the line hung up, from either end
};

// The line loop the host and the replay share: waits for the client's bytes,
// logs them and hands each read to OnBytes, until OnBytes returns an end, a
// signal comes, the idle limit passes or the line ends.
struct TLineEnd {
    THostRunEnd End = reLimit;
    // lwData: OnBytes ended it; otherwise what the line's wait said (lwIdle:
    // the idle limit), with Why: the signal's name or the failure.
    THostLine::TWait Cause = THostLine::lwData;
    std::string Why;
};
TLineEnd ServeLine(const THostOptions& options, THostLine& line, THostLog& log,
                   const std::function<std::optional<THostRunEnd>(std::string_view)>& onBytes);

// Serves the line until a signal, the exchange limit, the idle limit or a
// hang-up. Returns the program's exit code; End (when given) says which.
int RunHost(const THostOptions& options, THostLine& line, THostSession& session, THostLog& log,
            TLineEnd* end = nullptr);

// A listening TCP socket on Address:Port (IPv4 or IPv6 text).
class THostListener {
public:
    static std::unique_ptr<THostListener> Open(const std::string& address, std::uint16_t port);
    virtual ~THostListener() = default;
    // "ADDRESS:PORT" as bound, IPv6 in brackets.
    const std::string& Name() const { return FName; }
    // Waits for the next client; null when a signal to stop came first.
    std::unique_ptr<THostLine> Accept(THostLog& log);

    enum TAccept : std::uint8_t {
        laClient,  // Client holds the connection, not yet read from
        laIdle,    // Timeout passed
        laStop,    // a stop signal or RequestStop; Why names it
    };
    // Waits up to Timeout (negative: no limit) for the next client.
    virtual TAccept WaitClient(std::unique_ptr<THostLine>& client,
                               std::chrono::milliseconds timeout, std::string& why) = 0;

protected:
    THostListener(std::string address, std::uint16_t port)
        : FAddress(std::move(address)), FPort(port) {}
    // The set-up's failures, in the same words on every platform: the address
    // is not numeric; binding or listening failed for Reason.
    ELine NotNumeric() const;
    ELine CannotListen(const std::string& reason) const;
    // The port as the service text the system's address lookup takes.
    std::string PortText() const { return std::to_string(FPort); }

    std::string FName;
    std::string FAddress;
    std::uint16_t FPort;
};

// "HOST:PORT" from the numeric host and port the system wrote for a socket
// address, an IPv6 host (the only kind with colons) in brackets; "?" when the
// system could not write them (Named false).
std::string EndpointText(bool named, const char* host, const char* port);
