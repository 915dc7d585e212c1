#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "tests/support/LoopbackServer.h"

namespace {

SOCKET Handle(std::intptr_t value) { return static_cast<SOCKET>(value); }

// Waits up to Ms for Socket to be readable (or writable); false on timeout or failure.
bool Ready(SOCKET socket, bool write, long ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval tv{ms / 1000, ms % 1000 * 1000};
    return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &tv) > 0;
}

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup");
    });
}

}  // namespace

TLoopbackServer::TLoopbackServer(bool ipv6, int backlog) {
    StartWinsock();
    const SOCKET socket = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) throw std::runtime_error("socket");
    FListen = static_cast<std::intptr_t>(socket);
    sockaddr_storage address{};
    int size = 0;
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
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(socket, backlog) != 0) {
        closesocket(socket);
        throw std::runtime_error("bind or listen: " + std::to_string(WSAGetLastError()));
    }
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    FPort = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                       : reinterpret_cast<sockaddr_in&>(address).sin_port);
}

TLoopbackServer::~TLoopbackServer() {
    CloseClient();
    for (const std::intptr_t filler : FFillers) closesocket(Handle(filler));
    closesocket(Handle(FListen));
}

bool TLoopbackServer::Accept(std::chrono::milliseconds timeout) {
    if (!Ready(Handle(FListen), false, static_cast<long>(timeout.count()))) return false;
    CloseClient();
    const SOCKET client = accept(Handle(FListen), nullptr, nullptr);
    if (client == INVALID_SOCKET) return false;
    FClient = static_cast<std::intptr_t>(client);
    return true;
}

bool TLoopbackServer::ClientReadable(std::chrono::milliseconds timeout) const {
    return Ready(Handle(FClient), false, static_cast<long>(timeout.count()));
}

long TLoopbackServer::Receive(char* buffer, std::size_t size) const {
    return ::recv(Handle(FClient), buffer, static_cast<int>(size), 0);
}

bool TLoopbackServer::WriteBytes(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(Handle(FClient), bytes.data() + sent,
                             static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20)), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void TLoopbackServer::CloseClient() {
    if (FClient != -1) closesocket(Handle(FClient));
    FClient = -1;
}

void TLoopbackServer::Flood(const std::atomic<bool>& stop, std::atomic<std::size_t>& flooded) {
    const std::string block(65536, 'F');
    u_long nonBlocking = 1;
    ioctlsocket(Handle(FClient), FIONBIO, &nonBlocking);
    while (!stop) {
        if (!Ready(Handle(FClient), true, 20)) continue;
        const int n = ::send(Handle(FClient), block.data(), static_cast<int>(block.size()), 0);
        if (n > 0) flooded += static_cast<std::size_t>(n);
        if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) break;
    }
}

std::intptr_t TLoopbackServer::ConnectWithoutWaiting() const {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(FPort);
    ::connect(socket, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return static_cast<std::intptr_t>(socket);
}
