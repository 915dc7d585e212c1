// Loopback TCP ports for tests and benchmarks that start servers of their own (POSIX).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

// 127.0.0.1:Port as a socket address.
inline sockaddr_in LoopbackAddress(std::uint16_t port = 0) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A TCP socket bound to 127.0.0.1 on a port of the system's choosing, which
// goes to Port; not yet listening.
inline int BoundLoopbackSocket(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = LoopbackAddress();
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
    return fd;
}

// A port on 127.0.0.1 that nobody listens on (free a moment ago).
inline std::uint16_t FreeLoopbackPort() {
    std::uint16_t port = 0;
    ::close(BoundLoopbackSocket(port));
    return port;
}

// Whether something accepts connections on 127.0.0.1:Port.
inline bool LoopbackListening(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = LoopbackAddress(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return connected;
}
