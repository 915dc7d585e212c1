#pragma once

// The simulator's side of the line: a pseudo-terminal it creates and links
// where the client's settings can name it, a serial device, or a client's TCP
// connection; paced writing; and the loop that feeds the client's bytes to
// the session. The lines themselves are platform code (HostLinePosix.cpp;
// HostLineWin32.cpp has the TCP listener only: Windows has no pseudo-terminals).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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

class THostLog {
public:
    // Empty path: standard error. Throws ELine when the file cannot be opened.
    explicit THostLog(const std::string& path);
    ~THostLog();
    THostLog(const THostLog&) = delete;
    THostLog& operator=(const THostLog&) = delete;

    void Data(std::string_view direction, std::string_view bytes);
    void Note(std::string_view text);

private:
    std::string Stamp() const;
    std::FILE* FOut;
    bool FOwned;
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
    // Writes what the line takes of Bytes now: how many, or -1 when it failed.
    virtual long Put(std::string_view bytes) = 0;
    // Waits up to Timeout until the line takes more; false when it does not.
    virtual bool WaitWritable(std::chrono::milliseconds timeout) = 0;

private:
    std::string FName;
    std::chrono::steady_clock::time_point FLineFreeAt{};
};

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
            THostRunEnd* end = nullptr);

// A listening TCP socket on Address:Port (IPv4 or IPv6 text).
class THostListener {
public:
    static std::unique_ptr<THostListener> Open(const std::string& address, std::uint16_t port);
    virtual ~THostListener() = default;
    // "ADDRESS:PORT" as bound, IPv6 in brackets.
    const std::string& Name() const { return FName; }
    // Waits for the next client; null when a signal to stop came first.
    virtual std::unique_ptr<THostLine> Accept(THostLog& log) = 0;

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
