// The simulator's line on Windows: TCP connections over Winsock only (there
// are no pseudo-terminals, and serving a real COM port is the Linux build's
// job). A connection sleeps in WSAWaitForMultipleEvents on its socket's event
// and a stop event that the console's Ctrl+C, Ctrl+Break and close set.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <array>
#include <cstring>
#include <mutex>
#include <thread>

#include "link/NetSocket.h"
#include "tools/HostLine.h"

namespace {

// The event the console's stop requests set; manual reset, so every wait
// after the request sees it. Created once, with Winsock.
std::mutex StopLock;
std::string StopWhy = "Ctrl+C or the console's closing";

HANDLE StopEvent() {
    static HANDLE event = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        if (const int failed = WSAStartup(MAKEWORD(2, 2), &data))
            throw ELine("Cannot start the network: " + SocketErrorText(failed));
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        SetConsoleCtrlHandler(
            [](DWORD) -> BOOL {
                SetEvent(event);
                return TRUE;
            },
            TRUE);
    });
    return event;
}

// What the stop event was set for.
std::string StopText() {
    const std::lock_guard<std::mutex> hold(StopLock);
    return StopWhy;
}

class TSocketLine : public THostLine {
public:
    TSocketLine(SOCKET socket, std::string name, const THostPeer& peer)
        : THostLine(std::move(name)), FSocket(socket) {
        FPeer = peer;
        FEvent = WSACreateEvent();
        if (FEvent == WSA_INVALID_EVENT || WSAEventSelect(FSocket, FEvent, FD_READ | FD_CLOSE) != 0) {
            const int code = WSAGetLastError();
            Release();
            throw ELine("Cannot watch the connection: " + SocketErrorText(code));
        }
        const BOOL on = TRUE;
        setsockopt(FSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on);
        // A client machine switched off mid-session is found in time.
        setsockopt(FSocket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on),
                   sizeof on);
    }
    ~TSocketLine() override { Release(); }
    TSocketLine(const TSocketLine&) = delete;
    TSocketLine& operator=(const TSocketLine&) = delete;

    // Sent bytes stay with the system after closesocket; an orderly end of
    // sending lets the client read them all before it sees the connection end.
    void Drain(std::chrono::milliseconds) override { shutdown(FSocket, SD_SEND); }
    void HangUp() override { Release(); }

    TWait Wait(std::string& into, std::chrono::milliseconds timeout, std::string& why) override {
        std::array<char, 4096> buffer{};
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            // Reset before the read: bytes that come after it signal the event again.
            WSAResetEvent(FEvent);
            const int n = ::recv(FSocket, buffer.data(), static_cast<int>(buffer.size()), 0);
            if (n > 0) {
                into.append(buffer.data(), static_cast<std::size_t>(n));
                return lwData;
            }
            if (n == 0) return lwHungUp;
            const int code = WSAGetLastError();
            if (code == WSAECONNRESET || code == WSAECONNABORTED) return lwHungUp;
            if (code != WSAEWOULDBLOCK) {
                why = SocketErrorText(code);
                return lwFailed;
            }
            DWORD wait = WSA_INFINITE;
            if (timeout.count() >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return lwIdle;
                wait = static_cast<DWORD>(left.count());
            }
            const std::array<WSAEVENT, 2> events{FEvent, StopEvent()};
            const DWORD which = WSAWaitForMultipleEvents(2, events.data(), FALSE, wait, FALSE);
            if (which == WSA_WAIT_EVENT_0 + 1) {
                why = StopText();
                return lwSignal;
            }
            if (which == WSA_WAIT_TIMEOUT) return lwIdle;
            if (which == WSA_WAIT_FAILED) {
                why = SocketErrorText(static_cast<int>(WSAGetLastError()));
                return lwFailed;
            }
        }
    }

protected:
    // Winsock's send raises no signal: a client gone is an error return.
    long Put(std::string_view bytes) override {
        if (FSocket == INVALID_SOCKET) return -1;
        const int n = ::send(FSocket, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (n >= 0) return n;
        return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    }
    bool WaitWritable(std::chrono::milliseconds timeout) override {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(FSocket, &writable);
        timeval tv{};
        tv.tv_sec = static_cast<long>(timeout.count() / 1000);
        tv.tv_usec = static_cast<long>(timeout.count() % 1000 * 1000);
        return select(0, nullptr, &writable, nullptr, &tv) > 0;
    }

private:
    void Release() {
        if (FSocket != INVALID_SOCKET) closesocket(FSocket);
        FSocket = INVALID_SOCKET;
        if (FEvent != WSA_INVALID_EVENT) WSACloseEvent(FEvent);
        FEvent = WSA_INVALID_EVENT;
    }

    SOCKET FSocket;
    WSAEVENT FEvent = WSA_INVALID_EVENT;
};

THostPeer PeerOf(const sockaddr_storage& address) {
    THostPeer peer;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        std::memcpy(peer.Bytes.data(), &v4.sin_addr, 4);
        peer.Known = true;
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        const unsigned char* bytes = v6.sin6_addr.s6_addr;
        static constexpr unsigned char Mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (std::memcmp(bytes, Mapped, 12) == 0) {
            std::memcpy(peer.Bytes.data(), bytes + 12, 4);
        } else {
            std::memcpy(peer.Bytes.data(), bytes, 16);
            peer.V6 = true;
        }
        peer.Known = true;
    }
    return peer;
}

std::string AddressText(const sockaddr_storage& address) {
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    const bool named = getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host,
                                   sizeof host, port, sizeof port,
                                   NI_NUMERICHOST | NI_NUMERICSERV) == 0;
    return EndpointText(named, host, port);
}

class TWinListener : public THostListener {
public:
    TWinListener(const std::string& address, std::uint16_t port) : THostListener(address, port) {
        StopEvent();  // Winsock started
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
        addrinfo* found = nullptr;
        if (getaddrinfo(address.c_str(), PortText().c_str(), &hints, &found) != 0) throw NotNumeric();
        FSocket = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
        if (FSocket == INVALID_SOCKET) {
            const int code = WSAGetLastError();
            freeaddrinfo(found);
            throw ELine("Cannot make a socket: " + SocketErrorText(code));
        }
        // Another program may not take the port from under us.
        const BOOL on = TRUE;
        setsockopt(FSocket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                   sizeof on);
        const int bound = bind(FSocket, found->ai_addr, static_cast<int>(found->ai_addrlen));
        freeaddrinfo(found);
        if (bound != 0 || listen(FSocket, SOMAXCONN) != 0)
            throw CannotListen(SocketErrorText(WSAGetLastError()));
        sockaddr_storage local{};
        int size = sizeof local;
        getsockname(FSocket, reinterpret_cast<sockaddr*>(&local), &size);
        FName = AddressText(local);
        FEvent = WSACreateEvent();
        if (FEvent == WSA_INVALID_EVENT || WSAEventSelect(FSocket, FEvent, FD_ACCEPT) != 0)
            throw ELine("Cannot wait for clients: " + SocketErrorText(WSAGetLastError()));
    }
    ~TWinListener() override {
        if (FSocket != INVALID_SOCKET) closesocket(FSocket);
        if (FEvent != WSA_INVALID_EVENT) WSACloseEvent(FEvent);
    }
    TWinListener(const TWinListener&) = delete;
    TWinListener& operator=(const TWinListener&) = delete;

    TAccept WaitClient(std::unique_ptr<THostLine>& client, std::chrono::milliseconds timeout,
                       std::string& why) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (WaitForSingleObject(StopEvent(), 0) == WAIT_OBJECT_0) {
                why = StopText();
                return laStop;
            }
            WSAResetEvent(FEvent);
            sockaddr_storage peer{};
            int size = sizeof peer;
            const SOCKET accepted = accept(FSocket, reinterpret_cast<sockaddr*>(&peer), &size);
            if (accepted != INVALID_SOCKET) {
                client = std::make_unique<TSocketLine>(accepted, AddressText(peer), PeerOf(peer));
                return laClient;
            }
            const int code = WSAGetLastError();
            if (code != WSAEWOULDBLOCK && code != WSAECONNRESET)
                throw ELine("Cannot wait for clients: " + SocketErrorText(code));
            DWORD wait = WSA_INFINITE;
            if (timeout.count() >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return laIdle;
                wait = static_cast<DWORD>(left.count());
            }
            const std::array<WSAEVENT, 2> events{FEvent, StopEvent()};
            const DWORD which = WSAWaitForMultipleEvents(2, events.data(), FALSE, wait, FALSE);
            if (which == WSA_WAIT_EVENT_0 + 1) {
                why = StopText();
                return laStop;
            }
            if (which == WSA_WAIT_TIMEOUT) return laIdle;
            if (which == WSA_WAIT_FAILED)
                throw ELine("Cannot wait for clients: " + SocketErrorText(WSAGetLastError()));
        }
    }

private:
    SOCKET FSocket = INVALID_SOCKET;
    WSAEVENT FEvent = WSA_INVALID_EVENT;
};

}  // namespace

std::unique_ptr<THostLine> THostLine::CreatePty(const std::string&) {
    throw ELine("Windows has no pseudo-terminals: serve the host with --listen [ADDR:]PORT");
}

std::unique_ptr<THostLine> THostLine::OpenDevice(const std::string&, unsigned) {
    throw ELine("On Windows the host is served with --listen [ADDR:]PORT only");
}

std::unique_ptr<THostListener> THostListener::Open(const std::string& address,
                                                   std::uint16_t port) {
    return std::make_unique<TWinListener>(address, port);
}

void RequestStop(const std::string& why) {
    HANDLE event = StopEvent();
    {
        const std::lock_guard<std::mutex> hold(StopLock);
        if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) return;
        StopWhy = why;
    }
    SetEvent(event);
}

bool WaitStop(std::chrono::milliseconds timeout, std::string& why) {
    const DWORD wait = timeout.count() < 0 ? INFINITE : static_cast<DWORD>(timeout.count());
    if (WaitForSingleObject(StopEvent(), wait) != WAIT_OBJECT_0) return false;
    why = StopText();
    return true;
}
