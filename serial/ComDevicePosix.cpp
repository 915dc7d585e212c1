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
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <system_error>

#include "serial/ComDevice.h"
#include "serial/Comms.h"

namespace {

constexpr uint32_t MaxDword = 0xFFFFFFFF;
// The queue keeps taking bytes beyond ReadBufSize up to this size; a handler
// that never reads cannot make it grow further.
constexpr size_t MinInputLimit = 64 * 1024;

using TClock = std::chrono::steady_clock;

bool BaudToSpeed(uint32_t Baud, speed_t& Speed) {
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
    for (const auto& Row : Table)
        if (Row.Baud == Baud) {
            Speed = Row.Speed;
            return true;
        }
    return false;
}

void CloseFd(int& Fd) {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

void Signal(int EventFd) {
    const uint64_t One = 1;
    [[maybe_unused]] ssize_t N = ::write(EventFd, &One, sizeof One);
}

void Clear(int EventFd) {
    uint64_t Value;
    [[maybe_unused]] ssize_t N = ::read(EventFd, &Value, sizeof Value);
}

// Milliseconds left until Deadline for poll; -1 without a deadline.
int MillisecondsLeft(const TClock::time_point* Deadline) {
    if (!Deadline) return -1;
    auto Left = std::chrono::ceil<std::chrono::milliseconds>(*Deadline - TClock::now()).count();
    return Left <= 0 ? 0 : static_cast<int>(std::min<long long>(Left, 1 << 30));
}

class TPosixOperation : public TComOperation {};

class TPosixStopSignal : public TComStopSignal {
public:
    TPosixStopSignal() {
        if (::pipe2(FFds, O_CLOEXEC | O_NONBLOCK) != 0) FFds[0] = FFds[1] = -1;
    }
    ~TPosixStopSignal() override {
        CloseFd(FFds[0]);
        CloseFd(FFds[1]);
    }
    void Set() override {
        // The pipe stays readable once written: a manual-reset event.
        [[maybe_unused]] ssize_t N = ::write(FFds[1], "S", 1);
    }
    int ReadFd() const { return FFds[0]; }

private:
    int FFds[2] = {-1, -1};
};

class TPosixComDevice : public TComDevice {
public:
    ~TPosixComDevice() override { Close(); }

    int Open(const std::string& Port) override {
        const std::string Path = ComDevicePath(Port);
        int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (Fd < 0) return errno;
        int Error = 0;
        if (!::isatty(Fd))
            Error = ENOTTY;
        else if (::flock(Fd, LOCK_EX | LOCK_NB) != 0)
            // Held by another port or program: say "busy", as an exclusive
            // open does, rather than "try again".
            Error = (errno == EWOULDBLOCK) ? EBUSY : errno;
        else if (::ioctl(Fd, TIOCEXCL) != 0)
            Error = errno;
        if (Error == 0) {
            FRoomFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            FDataFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (FRoomFd < 0 || FDataFd < 0) Error = errno;
        }
        if (Error != 0) {
            ::close(Fd);
            CloseFd(FRoomFd);
            CloseFd(FDataFd);
            return Error;
        }
        // Bytes from an earlier session must not be taken for a reply.
        ::tcflush(Fd, TCIOFLUSH);
        FFd = Fd;
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

    int SetQueueSizes(int32_t ReadSize, int32_t WriteSize) override {
        if (ReadSize <= 0 || WriteSize <= 0) return EINVAL;
        std::lock_guard Lock(FMutex);
        FReadBufSize = static_cast<size_t>(ReadSize);
        return 0;
    }

    int SetLineSettings(const TComLineSettings& S) override {
        termios T{};
        if (::tcgetattr(FFd, &T) != 0) return errno;
        ::cfmakeraw(&T);
        T.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
        T.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        T.c_cflag |= CLOCAL | CREAD;

        switch (S.ByteSize) {
            case 5:
                T.c_cflag |= CS5;
                break;
            case 6:
                T.c_cflag |= CS6;
                break;
            case 7:
                T.c_cflag |= CS7;
                break;
            case 8:
                T.c_cflag |= CS8;
                break;
            default:
                return EINVAL;
        }
        switch (S.ParityBits) {
            case 0:
                break;
            case 1:
                T.c_cflag |= PARENB | PARODD;
                break;
            case 2:
                T.c_cflag |= PARENB;
                break;
            case 3:
                T.c_cflag |= PARENB | PARODD | CMSPAR;
                break;
            case 4:
                T.c_cflag |= PARENB | CMSPAR;
                break;
            default:
                return EINVAL;
        }
        switch (S.StopBits) {
            case 0:
                break;
            case 1:  // a UART gives 1.5 stop bits only with 5 data bits
                if (S.ByteSize != 5) return EINVAL;
                T.c_cflag |= CSTOPB;
                break;
            case 2:
                T.c_cflag |= CSTOPB;
                break;
            default:
                return EINVAL;
        }
        // No termios equivalent: DSR output flow, DTR handshake, RTS toggle.
        if (S.OutxDsrFlow || S.DtrControl == 2 || S.RtsControl == 3) return EINVAL;
        if (S.OutxCtsFlow || S.RtsControl == 2) T.c_cflag |= CRTSCTS;
        if (S.Parity) T.c_iflag |= INPCK;
        if (S.OutX) T.c_iflag |= IXON;
        if (S.InX) T.c_iflag |= IXOFF;
        T.c_cc[VSTART] = static_cast<cc_t>(S.XonChar);
        T.c_cc[VSTOP] = static_cast<cc_t>(S.XoffChar);
        T.c_cc[VMIN] = 0;
        T.c_cc[VTIME] = 0;
        speed_t Speed;
        if (!BaudToSpeed(S.BaudRate, Speed)) return EINVAL;
        ::cfsetispeed(&T, Speed);
        ::cfsetospeed(&T, Speed);
        if (::tcsetattr(FFd, TCSANOW, &T) != 0) return errno;

        // tcsetattr succeeds when the device took any part of the request.
        termios Got{};
        if (::tcgetattr(FFd, &Got) != 0) return errno;
        const tcflag_t CMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        const tcflag_t IMask = IXON | IXOFF | INPCK;
        if ((Got.c_cflag & CMask) != (T.c_cflag & CMask) ||
            (Got.c_iflag & IMask) != (T.c_iflag & IMask) || ::cfgetospeed(&Got) != Speed ||
            ::cfgetispeed(&Got) != Speed)
            return EINVAL;

        SetModemLine(TIOCM_DTR, S.DtrControl == 1);
        if (S.RtsControl != 2) SetModemLine(TIOCM_RTS, S.RtsControl == 1);

        std::lock_guard Lock(FMutex);
        FDiscardNull = S.Null;
        FEventChar = S.EvtChar;
        return 0;
    }

    int SetTimeouts(const TComTimeoutValues& Timeouts) override {
        std::lock_guard Lock(FMutex);
        FTimeouts = Timeouts;
        return 0;
    }

    int SetEventMask(uint32_t Mask) override {
        std::lock_guard Lock(FMutex);
        FEventMask = Mask;
        return 0;
    }

    std::unique_ptr<TComStopSignal> NewStopSignal() override {
        return std::make_unique<TPosixStopSignal>();
    }

    TWaitResult WaitEvent(TComStopSignal& Stop, uint32_t& Mask) override {
        const int StopFd = static_cast<TPosixStopSignal&>(Stop).ReadFd();
        for (;;) {
            bool WatchDevice;
            {
                std::lock_guard Lock(FMutex);
                // After a hang-up the device reports itself readable forever:
                // from then on only the stop signal can end the wait.
                WatchDevice = !FHungUp && FInput.size() < InputLimit();
                // Bytes that a Read took from the kernel but left in our queue
                // arrived after the last event: announce them, as the device
                // would have, or a reply's tail could wait unannounced forever.
                if (FUnannounced && !FInput.empty()) {
                    FUnannounced = false;
                    if (FEventMask & EV_RXCHAR) {
                        Mask = EV_RXCHAR;
                        return wrEvents;
                    }
                }
                FUnannounced = false;
            }
            pollfd Fds[3] = {{StopFd, POLLIN, 0}, {FRoomFd, POLLIN, 0}, {FFd, POLLIN, 0}};
            const int Result = ::poll(Fds, WatchDevice ? 3 : 2, -1);
            if (Result < 0) {
                if (errno == EINTR) continue;
                return wrStopped;
            }
            if (Fds[0].revents) return wrStopped;
            if (Fds[1].revents) Clear(FRoomFd);
            if (!WatchDevice || !Fds[2].revents) continue;

            uint32_t Events = 0;
            {
                std::lock_guard Lock(FMutex);
                const size_t Before = FInput.size();
                bool SawEventChar = false;
                const size_t Received = DrainLocked(SawEventChar);
                FUnannounced = false;  // this event covers everything queued
                if (Fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) FHungUp = true;
                if (Received > 0) Events |= EV_RXCHAR;
                if (SawEventChar) Events |= EV_RXFLAG;
                const size_t Full = FReadBufSize * 8 / 10;
                if (Before < Full && FInput.size() >= Full) Events |= EV_RX80FULL;
                Events &= FEventMask;
            }
            if (Events) {
                Mask = Events;
                return wrEvents;
            }
        }
    }

    std::unique_ptr<TComOperation> NewOperation() override {
        return std::make_unique<TPosixOperation>();
    }

    TComIoResult Write(TComOperation&, const char* Data, int32_t Count) override {
        TComTimeoutValues T;
        {
            std::lock_guard Lock(FMutex);
            T = FTimeouts;
        }
        const uint64_t Total =
            uint64_t{T.WriteTotalMultiplier} * static_cast<uint64_t>(Count) + T.WriteTotalConstant;
        const bool Limited = T.WriteTotalMultiplier != 0 || T.WriteTotalConstant != 0;
        const TClock::time_point Deadline = TClock::now() + std::chrono::milliseconds(Total);

        int32_t Written = 0;
        while (Written < Count) {
            const ssize_t N = ::write(FFd, Data + Written, static_cast<size_t>(Count - Written));
            if (N > 0) {
                Written += static_cast<int32_t>(N);
                continue;
            }
            if (N < 0 && errno == EINTR) continue;
            if (N < 0 && errno != EAGAIN) return {TComIoResult::ioFailed, Written, errno};
            // The output queue is full: wait for room, within the timeout.
            const int Left = MillisecondsLeft(Limited ? &Deadline : nullptr);
            if (Left == 0) break;  // timed out: a success with fewer bytes, as on Win32
            pollfd Fd = {FFd, POLLOUT, 0};
            if (::poll(&Fd, 1, Left) < 0 && errno != EINTR)
                return {TComIoResult::ioFailed, Written, errno};
        }
        return {TComIoResult::ioDone, Written, 0};
    }

    TComIoResult Read(TComOperation&, char* Data, int32_t Count) override {
        TComTimeoutValues T;
        {
            std::lock_guard Lock(FMutex);
            T = FTimeouts;
        }
        const bool AtOnce =
            T.ReadInterval == MaxDword && T.ReadTotalMultiplier == 0 && T.ReadTotalConstant == 0;
        const bool AnyByte = T.ReadInterval == MaxDword && T.ReadTotalMultiplier == MaxDword &&
                             T.ReadTotalConstant != 0 && T.ReadTotalConstant != MaxDword;
        const uint64_t Total =
            AnyByte ? T.ReadTotalConstant
                    : uint64_t{T.ReadTotalMultiplier} * static_cast<uint64_t>(Count) +
                          T.ReadTotalConstant;
        const bool TotalLimited = AnyByte || T.ReadTotalMultiplier != 0 || T.ReadTotalConstant != 0;
        const bool IntervalLimited = !AnyByte && T.ReadInterval != 0 && T.ReadInterval != MaxDword;
        const TClock::time_point TotalDeadline = TClock::now() + std::chrono::milliseconds(Total);
        TClock::time_point IntervalDeadline{};

        int32_t Got = 0;
        for (;;) {
            Clear(FDataFd);
            bool HungUp;
            {
                std::lock_guard Lock(FMutex);
                bool SawEventChar;
                const bool Drained = DrainLocked(SawEventChar) > 0;
                const size_t Before = FInput.size();
                const size_t Take = std::min(FInput.size(), static_cast<size_t>(Count - Got));
                FInput.copy(Data + Got, Take);
                FInput.erase(0, Take);
                if (Take > 0 && Before >= InputLimit()) Signal(FRoomFd);
                if (Drained && !FInput.empty()) {
                    FUnannounced = true;  // the event thread reports them
                    Signal(FRoomFd);
                }
                if (Take > 0 && IntervalLimited)
                    IntervalDeadline = TClock::now() + std::chrono::milliseconds(T.ReadInterval);
                Got += static_cast<int32_t>(Take);
                HungUp = FHungUp;
            }
            if (Got == Count || AtOnce || HungUp || (AnyByte && Got > 0)) break;
            const TClock::time_point* Deadline = TotalLimited ? &TotalDeadline : nullptr;
            if (Got > 0 && IntervalLimited && (!Deadline || IntervalDeadline < *Deadline))
                Deadline = &IntervalDeadline;
            const int Left = MillisecondsLeft(Deadline);
            if (Left == 0) break;
            pollfd Fds[2] = {{FDataFd, POLLIN, 0}, {FFd, POLLIN, 0}};
            if (::poll(Fds, 2, Left) < 0 && errno != EINTR)
                return {TComIoResult::ioFailed, Got, errno};
            if (Fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                std::lock_guard Lock(FMutex);
                bool SawEventChar;
                DrainLocked(SawEventChar);
                FHungUp = true;
            }
        }
        return {TComIoResult::ioDone, Got, 0};
    }

    TComIoResult WaitOperation(TComOperation&) override { return {TComIoResult::ioDone, 0, 0}; }

    int InputCount(int32_t& Count) override {
        std::lock_guard Lock(FMutex);
        int Waiting = 0;
        if (!FHungUp && ::ioctl(FFd, FIONREAD, &Waiting) != 0) {
            if (errno != EIO) return errno;
            FHungUp = true;
            Waiting = 0;
        }
        Count = static_cast<int32_t>(FInput.size()) + Waiting;
        return 0;
    }

    int Purge() override {
        std::lock_guard Lock(FMutex);
        const bool WasFull = FInput.size() >= InputLimit();
        FInput.clear();
        FUnannounced = false;
        if (WasFull) Signal(FRoomFd);
        if (::tcflush(FFd, TCIOFLUSH) != 0 && !FHungUp) return errno;
        return 0;
    }

    std::string ErrorText(int Code) const override { return std::generic_category().message(Code); }

private:
    size_t InputLimit() const { return std::max(FReadBufSize, MinInputLimit); }

    // Moves what the kernel holds into FInput (up to the limit), dropping NUL
    // bytes with DiscardNull; returns the number of bytes received.
    size_t DrainLocked(bool& SawEventChar) {
        SawEventChar = false;
        size_t Received = 0;
        char Buffer[4096];
        while (FInput.size() < InputLimit()) {
            const size_t Room = std::min(sizeof Buffer, InputLimit() - FInput.size());
            const ssize_t N = ::read(FFd, Buffer, Room);
            if (N < 0 && errno == EINTR) continue;
            if (N < 0 && errno == EIO) FHungUp = true;
            if (N <= 0) break;
            Received += static_cast<size_t>(N);
            for (ssize_t I = 0; I < N; ++I) {
                if (Buffer[I] == '\0' && FDiscardNull) continue;
                if (Buffer[I] == FEventChar) SawEventChar = true;
                FInput.push_back(Buffer[I]);
            }
        }
        if (Received > 0) Signal(FDataFd);
        return Received;
    }

    void SetModemLine(int Line, bool On) {
        // Pseudo-terminals and some adapters have no modem lines; that is not a failure.
        [[maybe_unused]] int R = ::ioctl(FFd, On ? TIOCMBIS : TIOCMBIC, &Line);
    }

    int FFd = -1;
    int FRoomFd = -1;  // signalled when Read or Purge makes room in a full queue
    int FDataFd = -1;  // signalled when the event wait has queued bytes

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
