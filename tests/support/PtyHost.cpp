#include "tests/support/PtyHost.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

using TClock = std::chrono::steady_clock;

int MillisecondsLeft(TClock::time_point Deadline) {
    const auto Left =
        std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now()).count();
    return Left <= 0 ? 0 : static_cast<int>(Left);
}

}  // namespace

void EnsureCoreApplication() {
    if (QCoreApplication::instance()) return;
    static int Argc = 1;
    static char Name[] = "trevalon-test";
    static char* Argv[] = {Name, nullptr};
    new QCoreApplication(Argc, Argv);  // lives for the test program
}

bool ProcessEventsUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
    const TClock::time_point Deadline = TClock::now() + Timeout;
    // Wakes the blocked event loop now and then, so that conditions changed by
    // other threads without an event are seen promptly (and without spinning).
    QTimer Tick;
    Tick.start(10);
    while (!Condition()) {
        if (MillisecondsLeft(Deadline) == 0) return Condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

TPtyHost::TPtyHost() {
    char Name[256] = {};
    if (::openpty(&FMaster, &FSlave, Name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    FSlavePath = Name;
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(FMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(FSlave, F_SETFD, FD_CLOEXEC);
    termios Raw{};
    ::tcgetattr(FSlave, &Raw);
    ::cfmakeraw(&Raw);
    ::tcsetattr(FSlave, TCSANOW, &Raw);
}

TPtyHost::~TPtyHost() {
    CloseMaster();
}

void TPtyHost::Write(std::string_view Bytes, std::chrono::milliseconds Timeout) {
    const TClock::time_point Deadline = TClock::now() + Timeout;
    while (!Bytes.empty()) {
        const ssize_t N = ::write(FMaster, Bytes.data(), Bytes.size());
        if (N > 0) {
            Bytes.remove_prefix(static_cast<size_t>(N));
            continue;
        }
        if (N < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
        const int Left = MillisecondsLeft(Deadline);
        if (Left == 0) throw std::runtime_error("pty write: timed out");
        pollfd Fd = {FMaster, POLLOUT, 0};
        ::poll(&Fd, 1, Left);
    }
}

std::string TPtyHost::Read(size_t Count, std::chrono::milliseconds Timeout) {
    return ReadUntil([Count](const std::string& Text) { return Text.size() >= Count; }, Timeout);
}

std::string TPtyHost::ReadUntil(const std::function<bool(const std::string&)>& Done,
                                std::chrono::milliseconds Timeout) {
    const TClock::time_point Deadline = TClock::now() + Timeout;
    std::string Text;
    while (!Done(Text)) {
        Text += ReadAvailable();
        if (Done(Text)) break;
        const int Left = MillisecondsLeft(Deadline);
        if (Left == 0) break;
        pollfd Fd = {FMaster, POLLIN, 0};
        ::poll(&Fd, 1, Left);
    }
    return Text;
}

std::string TPtyHost::ReadAvailable() {
    std::string Text;
    char Buffer[4096];
    for (;;) {
        const ssize_t N = ::read(FMaster, Buffer, sizeof Buffer);
        if (N > 0)
            Text.append(Buffer, static_cast<size_t>(N));
        else if (!(N < 0 && errno == EINTR))
            return Text;
    }
}

size_t TPtyHost::SlaveInputCount() const {
    int Waiting = 0;
    if (FSlave < 0 || ::ioctl(FSlave, FIONREAD, &Waiting) != 0) return 0;
    return static_cast<size_t>(Waiting);
}

termios TPtyHost::LineSettings() const {
    termios Settings{};
    ::tcgetattr(FMaster, &Settings);
    return Settings;
}

void TPtyHost::CloseMaster() {
    if (FSlave >= 0) ::close(FSlave);
    if (FMaster >= 0) ::close(FMaster);
    FSlave = FMaster = -1;
}

TComNameMap::TComNameMap(std::map<std::string, std::string> Names)
    : FNames(std::make_shared<std::map<std::string, std::string>>(std::move(Names))),
      FPrevious(SetComPathMapper({})) {
    SetComPathMapper([Names = FNames, Previous = FPrevious](const std::string& Port) {
        auto It = Names->find(Port);
        if (It != Names->end()) return It->second;
        return Previous ? Previous(Port) : DefaultComDevicePath(Port);
    });
}

TComNameMap::~TComNameMap() {
    SetComPathMapper(FPrevious);
}

void TComNameMap::Add(const std::string& Port, const std::string& Path) {
    (*FNames)[Port] = Path;
}

int BaudRateOf(const termios& Settings) {
    static const struct {
        speed_t Speed;
        int Baud;
    } Table[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                 {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                 {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    const speed_t Speed = ::cfgetospeed(&Settings);
    for (const auto& Row : Table)
        if (Row.Speed == Speed) return Row.Baud;
    return 0;
}
