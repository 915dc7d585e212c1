// A TCP server on 127.0.0.1 (or ::1) that a test plays byte for byte: it
// listens on a free port, accepts when asked, and reads and writes with
// deadlines, so a wrong or missing byte fails the test within seconds.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

class TLoopbackServer {
public:
    explicit TLoopbackServer(bool ipv6 = false, int backlog = 4) {
        FListen = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FListen < 0) throw std::runtime_error("socket");
        const int on = 1;
        setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (ipv6) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_loopback;
            if (bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
                throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
            socklen_t size = sizeof a;
            getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &size);
            FPort = ntohs(a.sin6_port);
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
                throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
            socklen_t size = sizeof a;
            getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &size);
            FPort = ntohs(a.sin_port);
        }
        if (listen(FListen, backlog) != 0) throw std::runtime_error("listen");
    }
    ~TLoopbackServer() {
        CloseClient();
        if (FListen >= 0) ::close(FListen);
    }
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    std::uint16_t Port() const { return FPort; }

    // Accepts the next connection within Timeout; false when none came.
    bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        pollfd pfd{FListen, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0) return false;
        CloseClient();
        FClient = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        return FClient >= 0;
    }
    int Client() const { return FClient; }

    // Reads until Count bytes came, the client closed, or Timeout passed.
    std::string ReadBytes(std::size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd pfd{FClient, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t n = ::recv(FClient, buffer, std::min(sizeof buffer, count - got.size()), 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    bool WriteBytes(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(FClient, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    void CloseClient() {
        if (FClient >= 0) ::close(FClient);
        FClient = -1;
    }

private:
    int FListen = -1;
    int FClient = -1;
    std::uint16_t FPort = 0;
};
