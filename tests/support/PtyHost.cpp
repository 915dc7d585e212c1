#include "tests/support/PtyHost.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

using TClock = std::chrono::steady_clock;

int MillisecondsLeft(TClock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

}  // namespace

TPtyHost::TPtyHost() {
    char name[256] = {};
    if (::openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    FSlavePath = name;
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(FMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(FSlave, F_SETFD, FD_CLOEXEC);
    termios raw{};
    ::tcgetattr(FSlave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(FSlave, TCSANOW, &raw);
}

TPtyHost::~TPtyHost() {
    CloseMaster();
}

void TPtyHost::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
    const TClock::time_point deadline = TClock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t n = ::write(FMaster, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
        const int left = MillisecondsLeft(deadline);
        if (left == 0) throw std::runtime_error("pty write: timed out");
        pollfd fd = {FMaster, POLLOUT, 0};
        ::poll(&fd, 1, left);
    }
}

std::string TPtyHost::Read(size_t count, std::chrono::milliseconds timeout) {
    return ReadUntil([count](const std::string& text) { return text.size() >= count; }, timeout);
}

std::string TPtyHost::ReadUntil(const std::function<bool(const std::string&)>& done,
                                std::chrono::milliseconds timeout) {
    const TClock::time_point deadline = TClock::now() + timeout;
    std::string text;
    while (!done(text)) {
        text += ReadAvailable();
        if (done(text)) break;
        const int left = MillisecondsLeft(deadline);
        if (left == 0) break;
        pollfd fd = {FMaster, POLLIN, 0};
        ::poll(&fd, 1, left);
    }
    return text;
}

std::string TPtyHost::ReadAvailable() {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (!(n < 0 && errno == EINTR))
            return text;
    }
}

size_t TPtyHost::SlaveInputCount() const {
    int waiting = 0;
    if (FSlave < 0 || ::ioctl(FSlave, FIONREAD, &waiting) != 0) return 0;
    return static_cast<size_t>(waiting);
}

termios TPtyHost::LineSettings() const {
    termios settings{};
    ::tcgetattr(FMaster, &settings);
    return settings;
}

void TPtyHost::CloseMaster() {
    if (FSlave >= 0) ::close(FSlave);
    if (FMaster >= 0) ::close(FMaster);
    FSlave = FMaster = -1;
}

TComNameMap::TComNameMap(std::map<std::string, std::string> names)
    : FNames(std::make_shared<std::map<std::string, std::string>>(std::move(names))) {}

void TComNameMap::Add(const std::string& port, const std::string& path) {
    (*FNames)[port] = path;
}

namespace {
std::string MappedPath(const std::map<std::string, std::string>& names, const std::string& port) {
    const auto it = names.find(port);
    if (it != names.end()) return it->second;
    if (!port.empty() && port[0] == '/') return port;
    return "/nonexistent/unmapped-" + port;
}
}  // namespace

std::string TComNameMap::DevicePath(const std::string& port) const {
    return MappedPath(*FNames, port);
}

TComPortHooks TComNameMap::PortHooks(std::function<void(const std::string&)> report) const {
    TComPortHooks hooks;
    hooks.DevicePath = [names = FNames](const std::string& port) {
        return MappedPath(*names, port);
    };
    hooks.ReportError = std::move(report);
    return hooks;
}

int BaudRateOf(const termios& settings) {
    static const struct {
        speed_t Speed;
        int Baud;
    } Table[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                 {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                 {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto& tRow : Table)
        if (tRow.Speed == speed) return tRow.Baud;
    return 0;
}
