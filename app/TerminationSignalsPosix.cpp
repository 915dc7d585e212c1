// Termination on POSIX: signals, turned into a byte on a pipe the window
// thread watches.
#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace {

// A signal handler may only write to a pipe; the window thread reads it.
int SignalPipe[2] = {-1, -1};
const int Signals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction Previous[3];

extern "C" void OnTerminationSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &byte, 1);
}

}  // namespace

TTerminationSignals::TTerminationSignals(QWidget& window) : FWindow(&window) {
    if (SignalPipe[0] >= 0) throw std::logic_error("Termination signals are already handled");
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        SignalPipe[0] = SignalPipe[1] = -1;
        return;  // the program still runs; only a signal would end it abruptly
    }
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read);
    FListener = notifier;
    QObject::connect(notifier, &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(SignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (FWindow) FWindow->close();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(Signals[i], &action, &Previous[i]);
}

TTerminationSignals::~TTerminationSignals() {
    if (SignalPipe[0] < 0) return;
    for (int i = 0; i < 3; ++i) ::sigaction(Signals[i], &Previous[i], nullptr);
    delete FListener;
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    SignalPipe[0] = SignalPipe[1] = -1;
}
