// The network link's socket over Winsock: a non-blocking socket, select for
// the connect limit and full send buffers, and the reader's sleep in
// WSAWaitForMultipleEvents on the socket's event and a wake-up event.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <array>
#include <mutex>

#include "link/NetSocket.h"

namespace {

using TClock = std::chrono::steady_clock;

void StartWinsock() {
    static std::once_flag once;
    static int failure = 0;
    std::call_once(once, [] {
        WSADATA data{};
        failure = WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (failure != 0) throw ENetLink("Cannot start the network: " + SocketErrorText(failure));
}

// Milliseconds left to Deadline as select wants them.
timeval TimeLeft(TClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - TClock::now());
    const long long micros = left.count() > 0 ? left.count() : 0;
    timeval tv{};
    tv.tv_sec = static_cast<long>(micros / 1000000);
    tv.tv_usec = static_cast<long>(micros % 1000000);
    return tv;
}

class TWinSocket : public TNetSocket {
public:
    explicit TWinSocket(SOCKET socket) : FSocket(socket) {
        FEvent = WSACreateEvent();
        FWake = WSACreateEvent();
        if (FEvent == WSA_INVALID_EVENT || FWake == WSA_INVALID_EVENT ||
            WSAEventSelect(FSocket, FEvent, FD_READ | FD_CLOSE) != 0) {
            const int code = WSAGetLastError();
            Release();
            throw ENetLink("Cannot start the network link: " + SocketErrorText(code));
        }
    }
    ~TWinSocket() override { Release(); }
    TWinSocket(const TWinSocket&) = delete;
    TWinSocket& operator=(const TWinSocket&) = delete;

    std::int32_t Send(const std::string& bytes, std::chrono::milliseconds limit) override {
        const auto deadline = TClock::now() + limit;
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20));
            const int n = ::send(FSocket, bytes.data() + sent, chunk, 0);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            const int code = WSAGetLastError();
            if (code != WSAEWOULDBLOCK) Fail(code);
            if (TClock::now() >= deadline) break;
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(FSocket, &writable);
            timeval tv = TimeLeft(deadline);
            if (select(0, nullptr, &writable, nullptr, &tv) == SOCKET_ERROR) Fail(WSAGetLastError());
        }
        return static_cast<std::int32_t>(sent);
    }

    // The socket's event is reset before each read, so a read that finds
    // nothing can sleep without missing bytes that came in between.
    TWaitResult Wait(std::string& into, std::string& error) override {
        std::array<char, 65536> buffer{};
        while (true) {
            WSAResetEvent(FEvent);
            const int n = ::recv(FSocket, buffer.data(), static_cast<int>(buffer.size()), 0);
            if (n > 0) {
                into.append(buffer.data(), static_cast<std::size_t>(n));
                return wrData;
            }
            if (n == 0) return wrClosed;
            const int code = WSAGetLastError();
            if (code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN)
                return wrClosed;
            if (code != WSAEWOULDBLOCK) {
                error = SocketErrorText(code);
                return wrFailed;
            }
            const std::array<WSAEVENT, 2> events{FEvent, FWake};
            const DWORD which = WSAWaitForMultipleEvents(2, events.data(), FALSE, WSA_INFINITE, FALSE);
            if (which == WSA_WAIT_EVENT_0 + 1) {
                WSAResetEvent(FWake);
                return wrWoken;
            }
            if (which == WSA_WAIT_FAILED) {
                error = SocketErrorText(WSAGetLastError());
                return wrFailed;
            }
        }
    }

    void Wake() override { WSASetEvent(FWake); }

private:
    [[noreturn]] static void Fail(int code) {
        if (code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN ||
            code == WSAENOTCONN)
            throw ENetLink("The host closed the connection");
        throw ENetLink("The connection to the host failed: " + SocketErrorText(code));
    }

    void Release() {
        if (FSocket != INVALID_SOCKET) closesocket(FSocket);
        FSocket = INVALID_SOCKET;
        if (FEvent != WSA_INVALID_EVENT) WSACloseEvent(FEvent);
        FEvent = WSA_INVALID_EVENT;
        if (FWake != WSA_INVALID_EVENT) WSACloseEvent(FWake);
        FWake = WSA_INVALID_EVENT;
    }

    SOCKET FSocket;
    WSAEVENT FEvent = WSA_INVALID_EVENT;
    WSAEVENT FWake = WSA_INVALID_EVENT;
};

// Connects one address within the time left: 0, or the Winsock error that
// failed it (WSAETIMEDOUT when the time ran out).
int ConnectOne(SOCKET socket, const addrinfo& address, TClock::time_point deadline) {
    if (::connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
    const int code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) return code;
    // A failed connect shows in the exception set, a made one in the write set.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval tv = TimeLeft(deadline);
    const int ready = select(0, nullptr, &writable, &failed, &tv);
    if (ready == SOCKET_ERROR) return WSAGetLastError();
    if (ready == 0) return WSAETIMEDOUT;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    if (error == 0 && FD_ISSET(socket, &failed)) return WSAECONNREFUSED;
    return error;
}

}  // namespace

std::string SocketErrorText(int code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length && text ? std::string(text, length) : "Error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == '.' || result.back() == ' '))
        result.pop_back();
    return result;
}

std::unique_ptr<TNetSocket> TNetSocket::Connect(const std::string& host, std::uint16_t port,
                                                const std::string& hostText,
                                                std::chrono::milliseconds limit) {
    StartWinsock();
    const auto deadline = TClock::now() + limit;
    const std::string prefix = "Cannot connect to " + hostText + ": ";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        if (lookup == WSAHOST_NOT_FOUND || lookup == WSANO_DATA || lookup == WSANO_RECOVERY)
            throw ENetLink(prefix + "No such host");
        throw ENetLink(prefix + SocketErrorText(lookup));
    }
    int lastError = 0;
    for (const addrinfo* address = found; address; address = address->ai_next) {
        const SOCKET socket = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (socket == INVALID_SOCKET) {
            lastError = WSAGetLastError();
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(socket, FIONBIO, &nonBlocking);
        lastError = ConnectOne(socket, *address, deadline);
        if (lastError == 0) {
            freeaddrinfo(found);
            const BOOL on = TRUE;
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
            return std::make_unique<TWinSocket>(socket);
        }
        closesocket(socket);
        if (lastError == WSAETIMEDOUT) break;  // the limit covers every address
    }
    freeaddrinfo(found);
    if (lastError == WSAETIMEDOUT)
        throw ENetLink(prefix + "No answer within " + std::to_string(limit.count() / 1000) +
                       " seconds");
    if (lastError == WSAECONNREFUSED) throw ENetLink(prefix + "Connection refused");
    throw ENetLink(prefix + SocketErrorText(lastError));
}
