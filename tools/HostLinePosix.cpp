// The simulator's lines on POSIX: pseudo-terminals, serial devices and TCP
// connections, all read with poll beside a signalfd for SIGINT and SIGTERM.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
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
// for the whole run, so a signal is never lost between two waits.
int SignalFd() {
    static const int Descriptor = [] {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        sigprocmask(SIG_BLOCK, &signals, nullptr);
        return signalfd(-1, &signals, SFD_CLOEXEC);
    }();
    if (Descriptor < 0) throw ELine(SysText("Cannot watch for signals"));
    return Descriptor;
}

// The name of the signal waiting on SignalFd.
std::string TakeSignal() {
    signalfd_siginfo info{};
    if (read(SignalFd(), &info, sizeof info) <= 0) return "a signal";
    return strsignal(static_cast<int>(info.ssi_signo));
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
        while (true) {
            std::array<pollfd, 2> fds{{{FFd, POLLIN, 0}, {signalFd, POLLIN, 0}}};
            const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (fds[1].revents) {
                why = TakeSignal();
                return lwSignal;
            }
            if (ready == 0) return lwIdle;
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
        const auto n = ::write(FFd, bytes.data(), bytes.size());
        if (n >= 0) return static_cast<long>(n);
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    }
    bool WaitWritable(std::chrono::milliseconds timeout) override {
        pollfd pfd{FFd, POLLOUT, 0};
        return poll(&pfd, 1, static_cast<int>(timeout.count())) > 0;
    }
};

class TPosixListener : public THostListener {
public:
    TPosixListener(const std::string& address, std::uint16_t port) : THostListener(address, port) {
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
        if (bound != 0 || listen(FFd, 8) != 0) throw CannotListen(std::strerror(errno));
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

    std::unique_ptr<THostLine> Accept(THostLog& log) override {
        const int signalFd = SignalFd();
        while (true) {
            std::array<pollfd, 2> fds{{{FFd, POLLIN, 0}, {signalFd, POLLIN, 0}}};
            if (poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                throw ELine(SysText("Cannot wait for clients"));
            }
            if (fds[1].revents) {
                log.Note("ended by " + TakeSignal());
                return nullptr;
            }
            sockaddr_storage peer{};
            socklen_t size = sizeof peer;
            const int fd = accept4(FFd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
            if (fd < 0) continue;  // the client gave up before we took it
            auto line = std::make_unique<TFdLine>(fd, AddressText(peer));
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            line->FSocket = true;
            return line;
        }
    }

private:
    int FFd = -1;
};

}  // namespace

std::unique_ptr<THostLine> THostLine::CreatePty(const std::string& linkPath) {
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
