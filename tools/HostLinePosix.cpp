// The simulator's lines on POSIX: pseudo-terminals, serial devices and TCP
// connections, all read with poll beside a signalfd for SIGINT and SIGTERM
// and an eventfd that stops every line at once.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "tools/HostLine.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr std::array<std::pair<speed_t, unsigned>, 19> Speeds = {{
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
}};

std::string SysText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void SetRaw(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) throw ELine(SysText("Cannot read the line settings"));
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) throw ELine(SysText("Cannot set the line settings"));
}

// SIGINT and SIGTERM as a descriptor to poll, blocked for the process: one
// for the whole run, so a signal is never lost between two waits. Whichever
// wait reads it passes it on to all through the stop. SIGPIPE is ignored: a
// write to a client that has gone fails with EPIPE and ends its session.
int SignalFd() {
    static const int Descriptor = [] {
        std::signal(SIGPIPE, SIG_IGN);
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        sigprocmask(SIG_BLOCK, &signals, nullptr);
        return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    }();
    if (Descriptor < 0) throw ELine(SysText("Cannot watch for signals"));
    return Descriptor;
}

// The stop every wait polls: readable for good once requested.
struct TStop {
    int Fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::mutex Lock;
    std::string Why;
    bool Requested = false;
};

TStop& Stop() {
    static TStop stop;
    if (stop.Fd < 0) throw ELine(SysText("Cannot make the stop event"));
    return stop;
}

// True when the wait's descriptors say to stop: a signal came (taken here and
// passed on) or a stop was requested. Why then names it.
bool Stopping(const pollfd& signal, const pollfd& stop, std::string& why) {
    if (signal.revents) {
        signalfd_siginfo info{};
        if (read(signal.fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            RequestStop(strsignal(static_cast<int>(info.ssi_signo)));
    }
    if (!signal.revents && !stop.revents) return false;
    TStop& state = Stop();
    const std::lock_guard<std::mutex> hold(state.Lock);
    if (!state.Requested) return false;  // another wait took the signal and is passing it on
    why = state.Why;
    return true;
}

THostPeer PeerOf(const sockaddr_storage& address) {
    THostPeer peer;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        std::memcpy(peer.Bytes.data(), &v4.sin_addr, 4);
        peer.Known = true;
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            std::memcpy(peer.Bytes.data(), v6.sin6_addr.s6_addr + 12, 4);
        } else {
            std::memcpy(peer.Bytes.data(), v6.sin6_addr.s6_addr, 16);
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

// A pseudo-terminal, a serial device or a TCP connection: a descriptor.
class TFdLine : public THostLine {
public:
    TFdLine(int fd, std::string name) : THostLine(std::move(name)), FFd(fd) {}
    ~TFdLine() override {
        if (!FLink.empty()) {
            // Only our own link goes: another simulator may have taken the name since.
            char target[256] = {};
            auto n = readlink(FLink.c_str(), target, sizeof target - 1);
            if (n > 0 && Name() == std::string(target, static_cast<std::size_t>(n)))
                unlink(FLink.c_str());
        }
        if (FFd >= 0) close(FFd);
        if (FSlaveFd >= 0) close(FSlaveFd);
    }
    TFdLine(const TFdLine&) = delete;
    TFdLine& operator=(const TFdLine&) = delete;

    void SetPeer(const THostPeer& peer) { FPeer = peer; }

    int FFd = -1;
    int FSlaveFd = -1;     // our own hold on the pty, so the client may close and reopen it
    bool FSocket = false;  // a TCP connection, not a terminal
    std::string FLink;

    unsigned Baud() const override {
        if (FSocket) return 0;
        termios tio{};
        // On a pty master this reads the slave's settings, which are the client's.
        if (FFd < 0 || tcgetattr(FFd, &tio) != 0) return 0;
        speed_t speed = cfgetospeed(&tio);
        for (const auto& [code, baud] : Speeds)
            if (code == speed) return baud;
        return 0;
    }

    void Drain(std::chrono::milliseconds timeout) override {
        if (FSocket) {
            // Sent bytes stay with the kernel after close; an orderly end of sending lets
            // the client read them all before it sees the connection end.
            shutdown(FFd, SHUT_WR);
            return;
        }
        if (FSlaveFd < 0) {
            tcdrain(FFd);
            return;
        }
        // Written bytes reach the client's queue through the kernel's buffers a little later,
        // so the queue must stay empty for a while before the client has surely read everything.
        const auto deadline = TClock::now() + timeout;
        int emptyChecks = 0;
        while (emptyChecks < 10 && TClock::now() < deadline) {
            int waiting = 0;
            if (ioctl(FSlaveFd, FIONREAD, &waiting) != 0) return;
            emptyChecks = waiting > 0 ? 0 : emptyChecks + 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void HangUp() override {
        if (FSlaveFd < 0 && !FSocket) {
            termios tio{};
            // Speed 0 drops DTR, which is how a serial line hangs up.
            if (tcgetattr(FFd, &tio) == 0) {
                cfsetospeed(&tio, B0);
                tcsetattr(FFd, TCSANOW, &tio);
            }
        }
        close(FFd);
        FFd = -1;
        if (FSlaveFd >= 0) close(FSlaveFd);
        FSlaveFd = -1;
    }

    TWait Wait(std::string& into, std::chrono::milliseconds timeout, std::string& why) override {
        std::array<char, 4096> buffer{};
        const int signalFd = SignalFd();
        const int stopFd = Stop().Fd;
        while (true) {
            std::array<pollfd, 3> fds{
                {{FFd, POLLIN, 0}, {signalFd, POLLIN, 0}, {stopFd, POLLIN, 0}}};
            const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (Stopping(fds[1], fds[2], why)) return lwSignal;
            if (ready == 0) return lwIdle;
            if (!fds[0].revents) continue;
            const auto n = read(FFd, buffer.data(), buffer.size());
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n == 0) return lwHungUp;
            if (n < 0) {
                why = std::strerror(errno);
                return lwFailed;
            }
            into.append(buffer.data(), static_cast<std::size_t>(n));
            return lwData;
        }
    }

protected:
    long Put(std::string_view bytes) override {
        if (FFd < 0) return -1;
        // MSG_NOSIGNAL: a client gone is an error here, never a signal to the process.
        const auto n = FSocket ? ::send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                               : ::write(FFd, bytes.data(), bytes.size());
        if (n >= 0) return static_cast<long>(n);
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    }
    bool WaitWritable(std::chrono::milliseconds timeout) override {
        pollfd pfd{FFd, POLLOUT, 0};
        return FFd >= 0 && poll(&pfd, 1, static_cast<int>(timeout.count())) > 0;
    }
};

class TPosixListener : public THostListener {
public:
    TPosixListener(const std::string& address, std::uint16_t port) : THostListener(address, port) {
        SignalFd();  // the signals blocked before any session's thread starts
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
        addrinfo* found = nullptr;
        if (getaddrinfo(address.c_str(), PortText().c_str(), &hints, &found) != 0) throw NotNumeric();
        FFd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd < 0) {
            freeaddrinfo(found);
            throw ELine(SysText("Cannot make a socket"));
        }
        const int on = 1;
        setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const int bound = bind(FFd, found->ai_addr, found->ai_addrlen);
        freeaddrinfo(found);
        if (bound != 0 || listen(FFd, SOMAXCONN) != 0) throw CannotListen(std::strerror(errno));
        sockaddr_storage local{};
        socklen_t size = sizeof local;
        getsockname(FFd, reinterpret_cast<sockaddr*>(&local), &size);
        FName = AddressText(local);
    }
    ~TPosixListener() override {
        if (FFd >= 0) close(FFd);
    }
    TPosixListener(const TPosixListener&) = delete;
    TPosixListener& operator=(const TPosixListener&) = delete;

    TAccept WaitClient(std::unique_ptr<THostLine>& client, std::chrono::milliseconds timeout,
                       std::string& why) override {
        const int signalFd = SignalFd();
        const int stopFd = Stop().Fd;
        const auto deadline = TClock::now() + timeout;
        while (true) {
            int wait = -1;
            if (timeout.count() >= 0) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
                wait = static_cast<int>(std::max<long long>(0, left.count()));
            }
            std::array<pollfd, 3> fds{
                {{FFd, POLLIN, 0}, {signalFd, POLLIN, 0}, {stopFd, POLLIN, 0}}};
            const int ready = poll(fds.data(), fds.size(), wait);
            if (ready < 0) {
                if (errno == EINTR) continue;
                throw ELine(SysText("Cannot wait for clients"));
            }
            if (Stopping(fds[1], fds[2], why)) return laStop;
            if (ready == 0) return laIdle;
            if (!fds[0].revents) continue;
            sockaddr_storage peer{};
            socklen_t size = sizeof peer;
            const int fd = accept4(FFd, reinterpret_cast<sockaddr*>(&peer), &size,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                // Out of descriptors: a pause keeps the loop from spinning on the
                // waiting connection until a session ends and frees one.
                if (errno == EMFILE || errno == ENFILE)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;  // or the client gave up before we took it
            }
            auto line = std::make_unique<TFdLine>(fd, AddressText(peer));
            line->SetPeer(PeerOf(peer));
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            // A client machine switched off mid-session is found in time.
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
            line->FSocket = true;
            client = std::move(line);
            return laClient;
        }
    }

private:
    int FFd = -1;
};

}  // namespace

std::unique_ptr<THostLine> THostLine::CreatePty(const std::string& linkPath) {
    SignalFd();  // the signals blocked before any session's thread starts
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        throw ELine(SysText("Cannot create a pseudo-terminal"));
    auto line = std::make_unique<TFdLine>(master, name);
    line->FSlaveFd = slave;
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    SetRaw(slave, B9600);

    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) throw ELine(linkPath + " exists and is not a symbolic link");
        if (unlink(linkPath.c_str()) != 0) throw ELine(SysText("Cannot replace " + linkPath));
    }
    if (symlink(name, linkPath.c_str()) != 0) throw ELine(SysText("Cannot create " + linkPath));
    line->FLink = linkPath;
    return line;
}

std::unique_ptr<THostLine> THostLine::OpenDevice(const std::string& path, unsigned baud) {
    SignalFd();  // the signals blocked before any session's thread starts
    auto speed = std::find_if(Speeds.begin(), Speeds.end(),
                              [baud](const auto& s) { return s.second == baud; });
    if (speed == Speeds.end()) throw ELine("Unsupported speed " + std::to_string(baud));
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw ELine(SysText("Cannot open " + path));
    auto line = std::make_unique<TFdLine>(fd, path);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) throw ELine(SysText("Cannot lock " + path));
    SetRaw(fd, speed->first);
    tcflush(fd, TCIOFLUSH);
    return line;
}

std::unique_ptr<THostListener> THostListener::Open(const std::string& address,
                                                   std::uint16_t port) {
    return std::make_unique<TPosixListener>(address, port);
}

void RequestStop(const std::string& why) {
    TStop& stop = Stop();
    const std::lock_guard<std::mutex> hold(stop.Lock);
    if (stop.Requested) return;
    stop.Requested = true;
    stop.Why = why;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stop.Fd, &one, sizeof one);
}

bool WaitStop(std::chrono::milliseconds timeout, std::string& why) {
    std::array<pollfd, 2> fds{{{SignalFd(), POLLIN, 0}, {Stop().Fd, POLLIN, 0}}};
    const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    return ready > 0 && Stopping(fds[0], fds[1], why);
}
