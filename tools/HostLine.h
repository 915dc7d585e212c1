#pragma once

// The simulator's side of the serial line (POSIX): a pseudo-terminal it
// creates and links where the client's settings can name it, or a serial
// device; paced writing; and the run loop that feeds the session.

#include <chrono>
#include <cstdio>
#include <memory>
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
    // A client's TCP connection (the socket is taken over); Name says who it is.
    static std::unique_ptr<THostLine> FromSocket(int fd, const std::string& name);
    ~THostLine();
    THostLine(const THostLine&) = delete;
    THostLine& operator=(const THostLine&) = delete;

    int Fd() const { return FFd; }
    const std::string& Name() const { return FName; }
    // The speed the client set on the line (for a device, its own); 0 when unknown.
    unsigned Baud() const;
    // Writes all bytes; with paceBaud each byte takes the 10 bits' time it takes on a real
    // line, and the call returns when the last one would have left. False when the line
    // took nothing for two seconds.
    bool Write(std::string_view bytes, unsigned paceBaud);
    // Waits up to timeout for the client to read what was written.
    void Drain(std::chrono::milliseconds timeout);
    // Ends the connection as a modem would: the client's device sees the hang-up.
    void HangUp();

private:
    THostLine() = default;

    int FFd = -1;
    int FSlaveFd = -1;  // our own hold on the pty, so the client may close and reopen it
    bool FSocket = false;  // a TCP connection, not a terminal
    std::string FName;
    std::string FLink;
    std::chrono::steady_clock::time_point FLineFreeAt{};
};

// Why RunHost returned.
enum THostRunEnd : std::uint8_t {
    reSignal,  // SIGINT or SIGTERM
    reLimit,   // the exchange or idle limit
    reHangUp,  // the line hung up, from either end
};

// Serves the line until a signal, the exchange limit, the idle limit or a
// hang-up. Returns the program's exit code; End (when given) says which.
int RunHost(const THostOptions& options, THostLine& line, THostSession& session, THostLog& log,
            THostRunEnd* end = nullptr);

// A listening TCP socket on Address:Port (IPv4 or IPv6 text).
class THostListener {
public:
    THostListener(const std::string& address, std::uint16_t port);
    ~THostListener();
    THostListener(const THostListener&) = delete;
    THostListener& operator=(const THostListener&) = delete;
    // "ADDRESS:PORT" as bound, IPv6 in brackets.
    const std::string& Name() const { return FName; }
    // Waits for the next client; null when a signal (SIGINT, SIGTERM) came first.
    std::unique_ptr<THostLine> Accept(THostLog& log);

private:
    int FFd = -1;
    std::string FName;
};
