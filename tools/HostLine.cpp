#include "tools/HostLine.h"

#include <fcntl.h>
#include <poll.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "oma/OMAMach.h"

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

}  // namespace

std::string FormatLogData(std::string_view stamp, std::string_view direction,
                          std::string_view bytes) {
    std::string rendered = RenderControlChars(bytes);
    std::string out;
    std::size_t start = 0;
    while (start < rendered.size()) {
        auto end = rendered.find("\r\n", start);
        if (end == std::string::npos) end = rendered.size();
        out.append(stamp).append(" ").append(direction).append(" ");
        out.append(rendered, start, end - start).append("\n");
        start = end + 2;
    }
    return out;
}

THostLog::THostLog(const std::string& path) : FOut(stderr), FOwned(false) {
    if (path.empty()) return;
    FOut = std::fopen(path.c_str(), "a");
    if (!FOut) throw ELine(SysText("Cannot open the log " + path));
    FOwned = true;
}

THostLog::~THostLog() {
    if (FOwned) std::fclose(FOut);
}

std::string THostLog::Stamp() const {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms.count()));
    return text;
}

void THostLog::Data(std::string_view direction, std::string_view bytes) {
    std::string text = FormatLogData(Stamp(), direction, bytes);
    std::fwrite(text.data(), 1, text.size(), FOut);
    std::fflush(FOut);
}

void THostLog::Note(std::string_view text) {
    std::string line = Stamp() + " -- " + std::string(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), FOut);
    std::fflush(FOut);
}

std::unique_ptr<THostLine> THostLine::CreatePty(const std::string& linkPath) {
    std::unique_ptr<THostLine> line(new THostLine);
    char name[256] = {};
    if (openpty(&line->FFd, &line->FSlaveFd, name, nullptr, nullptr) != 0)
        throw ELine(SysText("Cannot create a pseudo-terminal"));
    line->FName = name;
    fcntl(line->FFd, F_SETFD, FD_CLOEXEC);
    fcntl(line->FSlaveFd, F_SETFD, FD_CLOEXEC);
    fcntl(line->FFd, F_SETFL, fcntl(line->FFd, F_GETFL) | O_NONBLOCK);
    SetRaw(line->FSlaveFd, B9600);

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
    std::unique_ptr<THostLine> line(new THostLine);
    line->FFd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->FFd < 0) throw ELine(SysText("Cannot open " + path));
    if (flock(line->FFd, LOCK_EX | LOCK_NB) != 0) throw ELine(SysText("Cannot lock " + path));
    line->FName = path;
    SetRaw(line->FFd, speed->first);
    tcflush(line->FFd, TCIOFLUSH);
    return line;
}

std::unique_ptr<THostLine> THostLine::FromSocket(int fd, const std::string& name) {
    std::unique_ptr<THostLine> line(new THostLine);
    line->FFd = fd;
    line->FName = name;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    line->FSocket = true;
    return line;
}

namespace {

std::string AddressText(const sockaddr_storage& address) {
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                    port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return address.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                         : std::string(host) + ":" + port;
}

// SIGINT and SIGTERM as a descriptor to poll, blocked for the process.
int SignalFd() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int fd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (fd < 0) throw ELine(SysText("Cannot watch for signals"));
    return fd;
}

}  // namespace

THostListener::THostListener(const std::string& address, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        throw ELine("Cannot listen on " + address + ": not a numeric IPv4 or IPv6 address");
    FFd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FFd < 0) {
        freeaddrinfo(found);
        throw ELine(SysText("Cannot make a socket"));
    }
    const int on = 1;
    setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const int bound = bind(FFd, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (bound != 0 || listen(FFd, 8) != 0)
        throw ELine(SysText("Cannot listen on " + address + ":" + std::to_string(port)));
    sockaddr_storage local{};
    socklen_t size = sizeof local;
    getsockname(FFd, reinterpret_cast<sockaddr*>(&local), &size);
    FName = AddressText(local);
}

THostListener::~THostListener() {
    if (FFd >= 0) close(FFd);
}

std::unique_ptr<THostLine> THostListener::Accept(THostLog& log) {
    const int signalFd = SignalFd();
    std::unique_ptr<THostLine> line;
    while (!line) {
        std::array<pollfd, 2> fds{{{FFd, POLLIN, 0}, {signalFd, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            close(signalFd);
            throw ELine(SysText("Cannot wait for clients"));
        }
        if (fds[1].revents) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) > 0)
                log.Note(std::string("ended by ") + strsignal(static_cast<int>(info.ssi_signo)));
            break;
        }
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        const int fd = accept4(FFd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
        if (fd < 0) continue;  // the client gave up before we took it
        line = THostLine::FromSocket(fd, AddressText(peer));
    }
    close(signalFd);
    return line;
}

THostLine::~THostLine() {
    if (!FLink.empty()) {
        // Only our own link goes: another simulator may have taken the name since.
        char target[256] = {};
        auto n = readlink(FLink.c_str(), target, sizeof target - 1);
        if (n > 0 && FName == std::string(target, static_cast<std::size_t>(n)))
            unlink(FLink.c_str());
    }
    if (FFd >= 0) close(FFd);
    if (FSlaveFd >= 0) close(FSlaveFd);
}

unsigned THostLine::Baud() const {
    if (FSocket) return 0;
    termios tio{};
    // On a pty master this reads the slave's settings, which are the client's.
    if (FFd < 0 || tcgetattr(FFd, &tio) != 0) return 0;
    speed_t speed = cfgetospeed(&tio);
    for (const auto& [code, baud] : Speeds)
        if (code == speed) return baud;
    return 0;
}

bool THostLine::Write(std::string_view bytes, unsigned paceBaud) {
    using namespace std::chrono;
    const auto byteTime = paceBaud ? duration<double>(10.0 / paceBaud) : duration<double>(0);
    // Blocks of about a millisecond keep the pace even without a write per byte.
    const std::size_t block =
        paceBaud ? std::max<std::size_t>(1, paceBaud / 10 / 1000) : bytes.size();
    const auto start = std::max(TClock::now(), FLineFreeAt);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (paceBaud)
            std::this_thread::sleep_until(start + duration_cast<TClock::duration>(byteTime * sent));
        auto n = ::write(FFd, bytes.data() + sent, std::min(block, bytes.size() - sent));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd pfd{FFd, POLLOUT, 0};
        if (poll(&pfd, 1, 2000) <= 0) return false;
    }
    if (paceBaud) {
        FLineFreeAt = start + duration_cast<TClock::duration>(byteTime * bytes.size());
        std::this_thread::sleep_until(FLineFreeAt);
    }
    return true;
}

void THostLine::Drain(std::chrono::milliseconds timeout) {
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
    // Written bytes reach the client's queue through the kernel's buffers a little later, so
    // the queue must stay empty for a while before the client has surely read everything.
    const auto deadline = TClock::now() + timeout;
    int emptyChecks = 0;
    while (emptyChecks < 10 && TClock::now() < deadline) {
        int waiting = 0;
        if (ioctl(FSlaveFd, FIONREAD, &waiting) != 0) return;
        emptyChecks = waiting > 0 ? 0 : emptyChecks + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void THostLine::HangUp() {
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

int RunHost(const THostOptions& options, THostLine& line, THostSession& session, THostLog& log,
            THostRunEnd* end) {
    THostRunEnd ended = reLimit;
    const int signalFd = SignalFd();

    auto lastTraffic = TClock::now();
    int code = 0;
    std::array<char, 4096> buffer{};
    while (true) {
        int timeout = -1;
        if (options.IdleExitMs) {
            auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - lastTraffic);
            timeout = static_cast<int>(std::max<long long>(0, options.IdleExitMs - idle.count()));
        }
        std::array<pollfd, 2> fds{{{line.Fd(), POLLIN, 0}, {signalFd, POLLIN, 0}}};
        int ready = poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (fds[1].revents) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) > 0)
                log.Note(std::string("ended by ") + strsignal(static_cast<int>(info.ssi_signo)));
            ended = reSignal;
            break;
        }
        if (ready == 0) {
            log.Note("ended after " + std::to_string(options.IdleExitMs) + " ms without traffic");
            break;
        }
        auto n = read(line.Fd(), buffer.data(), buffer.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            log.Note(n == 0 ? "the line hung up" : SysText("the line failed"));
            code = 1;
            ended = reHangUp;
            break;
        }
        lastTraffic = TClock::now();
        std::string_view bytes(buffer.data(), static_cast<std::size_t>(n));
        log.Data("<-", bytes);
        bool hungUp = false;
        for (const auto& reply : session.Feed(bytes, line.Baud())) {
            log.Note(std::string(ReplyKindName(reply.Kind)) + ": " + reply.Note);
            for (const auto& chunk : reply.Chunks) {
                if (chunk.GapMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(chunk.GapMs));
                // Logged once written, so whoever reads the log knows the
                // bytes are on the line.
                const bool written = line.Write(chunk.Bytes, options.PaceBaud);
                log.Data("->", chunk.Bytes);
                if (!written) {
                    log.Note("the line takes no more data: the rest of the reply is dropped");
                    break;
                }
            }
            lastTraffic = TClock::now();
            if (reply.HangUp) {
                // What was sent before the hang-up was on the wire: let the client have it.
                line.Drain(std::chrono::seconds(2));
                line.HangUp();
                log.Note("hung up");
                hungUp = true;
                ended = reHangUp;
                break;
            }
        }
        if (hungUp) break;
        if (options.MaxExchanges && session.Exchanges() >= options.MaxExchanges) {
            line.Drain(std::chrono::seconds(2));
            log.Note("ended after " + std::to_string(session.Exchanges()) + " exchanges");
            break;
        }
    }
    close(signalFd);
    if (end) *end = ended;
    return code;
}
