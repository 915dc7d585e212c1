// TComDevice over a POSIX terminal device (termios).
//
// Transfers finish within the call: a write waits, without spinning, until all
// bytes are with the kernel or the write timeout has passed; a read follows
// the Win32 read-timeout rules. Nothing is ever left pending.
//
// Received bytes are moved by the event wait into a queue of our own. That
// makes EV_RXCHAR fire once per arrival (poll alone would report unread bytes
// forever), lets DiscardNull and EventChar work as on Win32, and keeps the
// input count exact.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <system_error>

#include "serial/ComDevice.h"
#include "serial/ComNames.h"
#include "serial/Comms.h"

namespace {

constexpr uint32_t MaxDword = 0xFFFFFFFF;
// The queue keeps taking bytes beyond ReadBufSize up to this size; a handler
// that never reads cannot make it grow further.
constexpr size_t MinInputLimit = 64 * 1024;

using TClock = std::chrono::steady_clock;

bool BaudToSpeed(uint32_t baud, speed_t& speed) {
    static const struct {
        uint32_t Baud;
        speed_t Speed;
    } Table[] = {{50, B50},           {75, B75},           {110, B110},         {134, B134},
                 {150, B150},         {200, B200},         {300, B300},         {600, B600},
                 {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
                 {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
                 {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
                 {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
                 {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
                 {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& row : Table)
        if (row.Baud == baud) {
            speed = row.Speed;
            return true;
        }
    return false;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void Signal(int eventFd) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(eventFd, &one, sizeof one);
}

void Clear(int eventFd) {
    uint64_t value;
    [[maybe_unused]] ssize_t n = ::read(eventFd, &value, sizeof value);
}

// Milliseconds left until Deadline for poll; -1 without a deadline.
int MillisecondsLeft(const TClock::time_point* deadline) {
    if (!deadline) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - TClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

class TPosixOperation : public TComOperation {};

class TPosixStopSignal : public TComStopSignal {
public:
    // 0 or the system's error code.
    int Create() {
        if (::pipe2(FFds, O_CLOEXEC | O_NONBLOCK) == 0) return 0;
        FFds[0] = FFds[1] = -1;
        return errno;
    }
    ~TPosixStopSignal() override {
        CloseFd(FFds[0]);
        CloseFd(FFds[1]);
    }
    void Set() override {
        // The pipe stays readable once written: a manual-reset event.
        [[maybe_unused]] ssize_t n = ::write(FFds[1], "S", 1);
    }
    int ReadFd() const { return FFds[0]; }

private:
    int FFds[2] = {-1, -1};
};

class TPosixComDevice : public TComDevice {
public:
    ~TPosixComDevice() override { Close(); }

    int Open(const std::string& port) override {
        const std::string path = ComDevicePath(port);
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return errno;
        int error = 0;
        if (!::isatty(fd))
            error = ENOTTY;
        else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            // Held by another port or program: say "busy", as an exclusive
            // open does, rather than "try again".
            error = (errno == EWOULDBLOCK) ? EBUSY : errno;
        else if (::ioctl(fd, TIOCEXCL) != 0)
            error = errno;
        if (error == 0) {
            FRoomFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            FDataFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (FRoomFd < 0 || FDataFd < 0) error = errno;
        }
        if (error != 0) {
            ::close(fd);
            CloseFd(FRoomFd);
            CloseFd(FDataFd);
            return error;
        }
        // Bytes from an earlier session must not be taken for a reply.
        ::tcflush(fd, TCIOFLUSH);
        FFd = fd;
        return 0;
    }

    void Close() override {
        if (FFd >= 0) {
            ::ioctl(FFd, TIOCNXCL);  // the exclusive flag outlives us while others hold the tty
            CloseFd(FFd);
        }
        CloseFd(FRoomFd);
        CloseFd(FDataFd);
    }

    int SetQueueSizes(int32_t readSize, int32_t writeSize) override {
        if (readSize <= 0 || writeSize <= 0) return EINVAL;
        std::lock_guard lock(FMutex);
        FReadBufSize = static_cast<size_t>(readSize);
        return 0;
    }

    int SetLineSettings(const TComLineSettings& s) override {
        termios t{};
        if (::tcgetattr(FFd, &t) != 0) return errno;
        ::cfmakeraw(&t);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;

        switch (s.ByteSize) {
            case 5:
                t.c_cflag |= CS5;
                break;
            case 6:
                t.c_cflag |= CS6;
                break;
            case 7:
                t.c_cflag |= CS7;
                break;
            case 8:
                t.c_cflag |= CS8;
                break;
            default:
                return EINVAL;
        }
        switch (s.ParityBits) {
            case 0:
                break;
            case 1:
                t.c_cflag |= PARENB | PARODD;
                break;
            case 2:
                t.c_cflag |= PARENB;
                break;
            case 3:
                t.c_cflag |= PARENB | PARODD | CMSPAR;
                break;
            case 4:
                t.c_cflag |= PARENB | CMSPAR;
                break;
            default:
                return EINVAL;
        }
        switch (s.StopBits) {
            case 0:
                break;
            case 1:  // a UART gives 1.5 stop bits only with 5 data bits
                if (s.ByteSize != 5) return EINVAL;
                t.c_cflag |= CSTOPB;
                break;
            case 2:
                t.c_cflag |= CSTOPB;
                break;
            default:
                return EINVAL;
        }
        // No termios equivalent: DSR output flow, DTR handshake, RTS toggle.
        if (s.OutxDsrFlow || s.DtrControl == 2 || s.RtsControl == 3) return EINVAL;
        if (s.OutxCtsFlow || s.RtsControl == 2) t.c_cflag |= CRTSCTS;
        if (s.Parity) t.c_iflag |= INPCK;
        if (s.OutX) t.c_iflag |= IXON;
        if (s.InX) t.c_iflag |= IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        speed_t speed;
        if (!BaudToSpeed(s.BaudRate, speed)) return EINVAL;
        FBaud = s.BaudRate;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        if (::tcsetattr(FFd, TCSANOW, &t) != 0) return errno;

        // tcsetattr succeeds when the device took any part of the request.
        termios got{};
        if (::tcgetattr(FFd, &got) != 0) return errno;
        const tcflag_t cMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        const tcflag_t iMask = IXON | IXOFF | INPCK;
        if ((got.c_cflag & cMask) != (t.c_cflag & cMask) ||
            (got.c_iflag & iMask) != (t.c_iflag & iMask) || ::cfgetospeed(&got) != speed ||
            ::cfgetispeed(&got) != speed)
            return EINVAL;

        SetModemLine(TIOCM_DTR, s.DtrControl == 1);
        if (s.RtsControl != 2) SetModemLine(TIOCM_RTS, s.RtsControl == 1);

        std::lock_guard lock(FMutex);
        FDiscardNull = s.Null;
        FEventChar = s.EvtChar;
        return 0;
    }

    int SetTimeouts(const TComTimeoutValues& timeouts) override {
        std::lock_guard lock(FMutex);
        FTimeouts = timeouts;
        return 0;
    }

    int SetEventMask(uint32_t mask) override {
        std::lock_guard lock(FMutex);
        FEventMask = mask;
        return 0;
    }

    int NewStopSignal(std::unique_ptr<TComStopSignal>& signal) override {
        auto stop = std::make_unique<TPosixStopSignal>();
        if (int error = stop->Create()) return error;
        signal = std::move(stop);
        return 0;
    }

    TWaitResult WaitEvent(TComStopSignal& stop, uint32_t& mask) override {
        const int stopFd = static_cast<TPosixStopSignal&>(stop).ReadFd();
        for (;;) {
            bool watchDevice;
            {
                std::lock_guard lock(FMutex);
                // After a hang-up the device reports itself readable forever:
                // from then on only the stop signal can end the wait.
                watchDevice = !FHungUp && FInput.size() < InputLimit();
                // Bytes that a Read took from the kernel but left in our queue
                // arrived after the last event: announce them, as the device
                // would have, or a reply's tail could wait unannounced forever.
                if (FUnannounced && !FInput.empty()) {
                    FUnannounced = false;
                    if (FEventMask & EV_RXCHAR) {
                        mask = EV_RXCHAR;
                        return wrEvents;
                    }
                }
                FUnannounced = false;
            }
            pollfd fds[3] = {{stopFd, POLLIN, 0}, {FRoomFd, POLLIN, 0}, {FFd, POLLIN, 0}};
            const int result = ::poll(fds, watchDevice ? 3 : 2, -1);
            if (result < 0) {
                if (errno == EINTR) continue;
                return wrStopped;
            }
            if (fds[0].revents) return wrStopped;
            if (fds[1].revents) Clear(FRoomFd);
            if (!watchDevice || !fds[2].revents) continue;

            uint32_t events = 0;
            {
                std::lock_guard lock(FMutex);
                const size_t before = FInput.size();
                bool sawEventChar = false;
                const size_t received = DrainLocked(sawEventChar);
                FUnannounced = false;  // this event covers everything queued
                if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) FHungUp = true;
                if (received > 0) events |= EV_RXCHAR;
                if (sawEventChar) events |= EV_RXFLAG;
                const size_t full = FReadBufSize * 8 / 10;
                if (before < full && FInput.size() >= full) events |= EV_RX80FULL;
                events &= FEventMask;
            }
            if (events) {
                mask = events;
                return wrEvents;
            }
        }
    }

    std::unique_ptr<TComOperation> NewOperation() override {
        return std::make_unique<TPosixOperation>();
    }

    TComIoResult Write(TComOperation&, const char* data, int32_t count) override {
        TComTimeoutValues t;
        {
            std::lock_guard lock(FMutex);
            t = FTimeouts;
        }
        const uint64_t total =
            uint64_t{t.WriteTotalMultiplier} * static_cast<uint64_t>(count) + t.WriteTotalConstant;
        const bool limited = t.WriteTotalMultiplier != 0 || t.WriteTotalConstant != 0;
        const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(total);

        int32_t written = 0;
        while (written < count) {
            const ssize_t n = ::write(FFd, data + written, static_cast<size_t>(count - written));
            if (n > 0) {
                written += static_cast<int32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return {TComIoResult::ioFailed, written, errno};
            // The output queue is full: wait for room, within the timeout.
            const int left = MillisecondsLeft(limited ? &deadline : nullptr);
            if (left == 0) break;  // timed out: a success with fewer bytes, as on Win32
            pollfd fd = {FFd, POLLOUT, 0};
            if (::poll(&fd, 1, left) < 0 && errno != EINTR)
                return {TComIoResult::ioFailed, written, errno};
        }
        return {TComIoResult::ioDone, written, 0};
    }

    TComIoResult Read(TComOperation&, char* data, int32_t count) override {
        TComTimeoutValues t;
        {
            std::lock_guard lock(FMutex);
            t = FTimeouts;
        }
        const bool atOnce =
            t.ReadInterval == MaxDword && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0;
        const bool anyByte = t.ReadInterval == MaxDword && t.ReadTotalMultiplier == MaxDword &&
                             t.ReadTotalConstant != 0 && t.ReadTotalConstant != MaxDword;
        const uint64_t total =
            anyByte ? t.ReadTotalConstant
                    : uint64_t{t.ReadTotalMultiplier} * static_cast<uint64_t>(count) +
                          t.ReadTotalConstant;
        const bool totalLimited = anyByte || t.ReadTotalMultiplier != 0 || t.ReadTotalConstant != 0;
        const bool intervalLimited = !anyByte && t.ReadInterval != 0 && t.ReadInterval != MaxDword;
        const TClock::time_point totalDeadline = TClock::now() + std::chrono::milliseconds(total);
        TClock::time_point intervalDeadline{};

        int32_t got = 0;
        for (;;) {
            Clear(FDataFd);
            bool hungUp;
            {
                std::lock_guard lock(FMutex);
                bool sawEventChar;
                const bool drained = DrainLocked(sawEventChar) > 0;
                const size_t before = FInput.size();
                const size_t take = std::min(FInput.size(), static_cast<size_t>(count - got));
                FInput.copy(data + got, take);
                FInput.erase(0, take);
                if (take > 0 && before >= InputLimit()) Signal(FRoomFd);
                if (drained && !FInput.empty()) {
                    FUnannounced = true;  // the event thread reports them
                    Signal(FRoomFd);
                }
                if (take > 0 && intervalLimited)
                    intervalDeadline = TClock::now() + std::chrono::milliseconds(t.ReadInterval);
                got += static_cast<int32_t>(take);
                hungUp = FHungUp;
            }
            if (got == count || atOnce || hungUp || (anyByte && got > 0)) break;
            const TClock::time_point* deadline = totalLimited ? &totalDeadline : nullptr;
            if (got > 0 && intervalLimited && (!deadline || intervalDeadline < *deadline))
                deadline = &intervalDeadline;
            const int left = MillisecondsLeft(deadline);
            if (left == 0) break;
            pollfd fds[2] = {{FDataFd, POLLIN, 0}, {FFd, POLLIN, 0}};
            if (::poll(fds, 2, left) < 0 && errno != EINTR)
                return {TComIoResult::ioFailed, got, errno};
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                std::lock_guard lock(FMutex);
                bool sawEventChar;
                DrainLocked(sawEventChar);
                FHungUp = true;
            }
        }
        return {TComIoResult::ioDone, got, 0};
    }

    TComIoResult WaitOperation(TComOperation&) override { return {TComIoResult::ioDone, 0, 0}; }

    int InputCount(int32_t& count) override {
        std::lock_guard lock(FMutex);
        int waiting = 0;
        if (!FHungUp && ::ioctl(FFd, FIONREAD, &waiting) != 0) {
            if (errno != EIO) return errno;
            FHungUp = true;
            waiting = 0;
        }
        count = static_cast<int32_t>(FInput.size()) + waiting;
        return 0;
    }

    int Purge() override {
        std::lock_guard lock(FMutex);
        const bool wasFull = FInput.size() >= InputLimit();
        FInput.clear();
        FUnannounced = false;
        if (wasFull) Signal(FRoomFd);
        // Output is flushed only while some is still queued: a pseudo-terminal
        // queues none, and flushing its output empties the far end's unread
        // input, taking back bytes that were already delivered.
        const int which = OutputQueued() == 0 ? TCIFLUSH : TCIOFLUSH;
        if (::tcflush(FFd, which) != 0 && !FHungUp) return errno;
        return 0;
    }

    void WaitOutputSent() override {
        WaitForEmptyOutput([this] { return OutputQueued(); }, FBaud);
    }

    std::string ErrorText(int code) const override { return std::generic_category().message(code); }

    // Serial devices belong to a group (dialout on Debian) whose members may
    // use them; a refused open names that group and how to join it.
    std::string OpenAdvice(const std::string& port, int code) const override {
        if (code != EACCES && code != EPERM) return {};
        std::string groupName = "dialout";
        struct stat st {};
        if (::stat(ComDevicePath(port).c_str(), &st) == 0 && st.st_gid != 0)
            if (const struct group* entry = ::getgrgid(st.st_gid)) groupName = entry->gr_name;
        std::string user = "$USER";
        if (const struct passwd* entry = ::getpwuid(::geteuid())) user = entry->pw_name;
        return "; only members of the group " + groupName + " may use it: sudo adduser " + user +
               " " + groupName + ", then log out and in again";
    }

private:
    size_t InputLimit() const { return std::max(FReadBufSize, MinInputLimit); }

    // Bytes written but not yet sent (TIOCOUTQ); negative when the device cannot tell.
    int64_t OutputQueued() const {
        int queued = 0;
        return ::ioctl(FFd, TIOCOUTQ, &queued) == 0 ? int64_t{queued} : int64_t{-1};
    }

    // Moves what the kernel holds into FInput (up to the limit), dropping NUL
    // bytes with DiscardNull; returns the number of bytes received.
    size_t DrainLocked(bool& sawEventChar) {
        sawEventChar = false;
        size_t received = 0;
        char buffer[4096];
        while (FInput.size() < InputLimit()) {
            const size_t room = std::min(sizeof buffer, InputLimit() - FInput.size());
            const ssize_t n = ::read(FFd, buffer, room);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EIO) FHungUp = true;
            if (n <= 0) break;
            received += static_cast<size_t>(n);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == '\0' && FDiscardNull) continue;
                if (buffer[i] == FEventChar) sawEventChar = true;
                FInput.push_back(buffer[i]);
            }
        }
        if (received > 0) Signal(FDataFd);
        return received;
    }

    void SetModemLine(int line, bool on) {
        // Pseudo-terminals and some adapters have no modem lines; that is not a failure.
        [[maybe_unused]] int r = ::ioctl(FFd, on ? TIOCMBIS : TIOCMBIC, &line);
    }

    int FFd = -1;
    int FRoomFd = -1;  // signalled when Read or Purge makes room in a full queue
    int FDataFd = -1;  // signalled when the event wait has queued bytes
    uint32_t FBaud = 9600;

    std::mutex FMutex;  // guards the members below
    std::string FInput;
    bool FHungUp = false;
    bool FUnannounced = false;  // Read queued bytes no event has reported yet
    size_t FReadBufSize = 1024;
    bool FDiscardNull = false;
    char FEventChar = 0;
    uint32_t FEventMask = 0;
    TComTimeoutValues FTimeouts;
};

}  // namespace

std::unique_ptr<TComDevice> NewPlatformComDevice() {
    return std::make_unique<TPosixComDevice>();
}

int InvalidHandleError() {
    return EBADF;
}
