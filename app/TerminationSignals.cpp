#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace {

// A signal handler may only write to a pipe; the window thread reads it.
int SignalPipe[2] = {-1, -1};
const int Signals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction Previous[3];

extern "C" void OnTerminationSignal(int Signal) {
    const char Byte = static_cast<char>(Signal);
    [[maybe_unused]] const ssize_t N = ::write(SignalPipe[1], &Byte, 1);
}

}  // namespace

TTerminationSignals::TTerminationSignals(QWidget& Window) : FWindow(&Window) {
    if (SignalPipe[0] >= 0) throw std::logic_error("Termination signals are already handled");
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        SignalPipe[0] = SignalPipe[1] = -1;
        return;  // the program still runs; only a signal would end it abruptly
    }
    FNotifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(FNotifier, &QSocketNotifier::activated, [this] {
        char Bytes[16];
        while (::read(SignalPipe[0], Bytes, sizeof Bytes) > 0) {
        }
        if (FWindow) FWindow->close();
    });
    struct sigaction Action = {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int I = 0; I < 3; ++I) ::sigaction(Signals[I], &Action, &Previous[I]);
}

TTerminationSignals::~TTerminationSignals() {
    if (SignalPipe[0] < 0) return;
    for (int I = 0; I < 3; ++I) ::sigaction(Signals[I], &Previous[I], nullptr);
    delete FNotifier;
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    SignalPipe[0] = SignalPipe[1] = -1;
}

#else

// Other platforms end a window program through their own session messages.
TTerminationSignals::TTerminationSignals(QWidget& Window) : FWindow(&Window) {}
TTerminationSignals::~TTerminationSignals() = default;

#endif
