// The network link's socket over BSD sockets: a non-blocking socket, poll for
// the connect limit and for the reader's sleep, a pipe to wake the reader.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>

#include "link/NetSocket.h"

namespace {

using TClock = std::chrono::steady_clock;

class TPosixSocket : public TNetSocket {
public:
    explicit TPosixSocket(int fd) : FFd(fd) {
        if (pipe2(FWake.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            const std::string reason = std::strerror(errno);
            ::close(FFd);
            throw ENetLink("Cannot start the network link: " + reason);
        }
    }
    ~TPosixSocket() override {
        ::close(FFd);
        ::close(FWake[0]);
        ::close(FWake[1]);
    }
    TPosixSocket(const TPosixSocket&) = delete;
    TPosixSocket& operator=(const TPosixSocket&) = delete;

    std::int32_t Send(const std::string& bytes, std::chrono::milliseconds limit) override {
        const auto deadline = TClock::now() + limit;
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(FFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) Fail(errno);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            if (left.count() <= 0) break;
            pollfd pfd{FFd, POLLOUT, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count()) + 1) < 0 && errno != EINTR) Fail(errno);
        }
        return static_cast<std::int32_t>(sent);
    }

    TWaitResult Wait(std::string& into, std::string& error) override {
        std::array<char, 65536> buffer{};
        while (true) {
            std::array<pollfd, 2> fds{{{FFd, POLLIN, 0}, {FWake[0], POLLIN, 0}}};
            if (poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                error = std::strerror(errno);
                return wrFailed;
            }
            if (fds[1].revents) {
                char drained = 0;
                while (::read(FWake[0], &drained, 1) > 0) {
                }
                return wrWoken;
            }
            if (!fds[0].revents) continue;
            const ssize_t n = ::recv(FFd, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                into.append(buffer.data(), static_cast<std::size_t>(n));
                return wrData;
            }
            if (n == 0) return wrClosed;
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            if (errno == ECONNRESET || errno == EPIPE) return wrClosed;
            error = std::strerror(errno);
            return wrFailed;
        }
    }

    void Wake() override {
        const char one = 1;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t n = ::write(FWake[1], &one, 1);
    }

private:
    [[noreturn]] static void Fail(int code) {
        if (code == EPIPE || code == ECONNRESET || code == ENOTCONN)
            throw ENetLink("The host closed the connection");
        throw ENetLink(std::string("The connection to the host failed: ") + std::strerror(code));
    }

    int FFd;
    std::array<int, 2> FWake{-1, -1};
};

// Connects one address within the time left: 0, or the errno that failed it
// (ETIMEDOUT when the time ran out).
int ConnectOne(int fd, const addrinfo& address, TClock::time_point deadline) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return errno;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd pfd{fd, POLLOUT, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return errno;
        if (ready == 0) continue;
        int code = 0;
        socklen_t size = sizeof code;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) != 0) return errno;
        return code;
    }
}

}  // namespace

std::string SocketErrorText(int code) {
    return std::strerror(code);
}

std::unique_ptr<TNetSocket> TNetSocket::Connect(const std::string& host, std::uint16_t port,
                                                const std::string& hostText,
                                                std::chrono::milliseconds limit) {
    const auto deadline = TClock::now() + limit;
    const std::string prefix = "Cannot connect to " + hostText + ": ";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        if (lookup == EAI_NONAME || lookup == EAI_NODATA || lookup == EAI_FAIL)
            throw ENetLink(prefix + "No such host");
        throw ENetLink(prefix + gai_strerror(lookup));
    }
    int lastError = 0;
    for (const addrinfo* address = found; address; address = address->ai_next) {
        const int fd = ::socket(address->ai_family,
                                address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = ConnectOne(fd, *address, deadline);
        if (lastError == 0) {
            freeaddrinfo(found);
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
            return std::make_unique<TPosixSocket>(fd);
        }
        ::close(fd);
        if (lastError == ETIMEDOUT) break;  // the limit covers every address
    }
    freeaddrinfo(found);
    if (lastError == ETIMEDOUT)
        throw ENetLink(prefix + "No answer within " + std::to_string(limit.count() / 1000) +
                       " seconds");
    if (lastError == ECONNREFUSED) throw ENetLink(prefix + "Connection refused");
    throw ENetLink(prefix + std::strerror(lastError));
}
