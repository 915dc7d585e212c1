#pragma once

// A connected TCP socket, the part of the network link that talks to the
// operating system (one implementation per platform: NetSocketPosix.cpp over
// BSD sockets and poll, NetSocketWin32.cpp over Winsock).

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// The system's words for a socket error code (errno, or a Winsock error).
std::string SocketErrorText(int code);

// A connection that failed or could not be made; what() is the operator's text.
class ENetLink : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TNetSocket {
public:
    enum TWaitResult : std::uint8_t { wrData, wrClosed, wrWoken, wrFailed };

    // Resolves Host and tries each of its addresses in turn with a
    // non-blocking connect, all within Limit; the first that answers is kept,
    // with TCP_NODELAY and keep-alive on. Throws ENetLink naming the address
    // (HostText) and the reason: no such host, refused, unreachable, or the limit.
    static std::unique_ptr<TNetSocket> Connect(const std::string& host, std::uint16_t port,
                                               const std::string& hostText,
                                               std::chrono::milliseconds limit);
    virtual ~TNetSocket() = default;

    // Sends Bytes, waiting while the system's buffer is full, up to Limit in
    // all; returns how many went. Throws ENetLink when the connection failed
    // (the host's closing reads "The host closed the connection").
    virtual std::int32_t Send(const std::string& bytes, std::chrono::milliseconds limit) = 0;
    // Sleeps until bytes arrive (appended to Into), the host closes the
    // connection, the connection fails (Error says why) or Wake is called.
    // One thread at a time.
    virtual TWaitResult Wait(std::string& into, std::string& error) = 0;
    // Ends a Wait now or, when none runs, the next one. Any thread.
    virtual void Wake() = 0;
};
