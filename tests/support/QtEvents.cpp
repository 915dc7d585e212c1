#include "tests/support/QtEvents.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "serialqt/QtComOwnerThread.h"

namespace {

using TClock = std::chrono::steady_clock;

}  // namespace

void EnsureCoreApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "trevalon-test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);  // lives for the test program
}

bool ProcessEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const TClock::time_point deadline = TClock::now() + timeout;
    // Wakes the blocked event loop now and then, so that conditions changed by
    // other threads without an event are seen promptly (and without spinning).
    QTimer tick;
    tick.start(10);
    while (!condition()) {
        if (TClock::now() >= deadline) return condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

TComPortHooks WithQtOwner(TComPortHooks hooks) {
    hooks.OwnerThread = NewQtComOwnerThread();
    return hooks;
}
