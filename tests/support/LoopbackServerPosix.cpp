#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/LoopbackServer.h"

TLoopbackServer::TLoopbackServer(bool ipv6, int backlog) {
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket");
    FListen = fd;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t size = 0;
    if (ipv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(address);
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        size = sizeof a;
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(address);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof a;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        ::close(fd);
        throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    FPort = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                       : reinterpret_cast<sockaddr_in&>(address).sin_port);
    if (listen(fd, backlog) != 0) {
        ::close(fd);
        throw std::runtime_error("listen");
    }
}

TLoopbackServer::~TLoopbackServer() {
    CloseClient();
    for (const std::intptr_t filler : FFillers) ::close(static_cast<int>(filler));
    ::close(static_cast<int>(FListen));
}

bool TLoopbackServer::Accept(std::chrono::milliseconds timeout) {
    pollfd pfd{static_cast<int>(FListen), POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0) return false;
    CloseClient();
    FClient = ::accept4(static_cast<int>(FListen), nullptr, nullptr, SOCK_CLOEXEC);
    return FClient >= 0;
}

bool TLoopbackServer::ClientReadable(std::chrono::milliseconds timeout) const {
    pollfd pfd{static_cast<int>(FClient), POLLIN, 0};
    return poll(&pfd, 1, static_cast<int>(timeout.count())) > 0;
}

long TLoopbackServer::Receive(char* buffer, std::size_t size) const {
    return static_cast<long>(::recv(static_cast<int>(FClient), buffer, size, 0));
}

bool TLoopbackServer::WriteBytes(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(static_cast<int>(FClient), bytes.data() + sent,
                                 bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void TLoopbackServer::CloseClient() {
    if (FClient >= 0) ::close(static_cast<int>(FClient));
    FClient = -1;
}

void TLoopbackServer::Flood(const std::atomic<bool>& stop, std::atomic<std::size_t>& flooded) {
    const std::string block(65536, 'F');
    while (!stop) {
        pollfd pfd{static_cast<int>(FClient), POLLOUT, 0};
        if (poll(&pfd, 1, 20) <= 0) continue;
        const ssize_t n = ::send(static_cast<int>(FClient), block.data(), block.size(),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) flooded += static_cast<std::size_t>(n);
        if (n < 0 && errno != EAGAIN) break;
    }
}

std::intptr_t TLoopbackServer::ConnectWithoutWaiting() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(FPort);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}
