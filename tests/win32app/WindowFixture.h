// The application object and event-loop waits of the Windows app tests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>

#include "app/ErrorReport.h"

using namespace std::chrono_literals;

inline void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_win32app";
    static char* argv[] = {name, nullptr};
    // Lives for the test program. A failure no window handled is a fault.
    new TApplication(argc, argv, [](const QString& message) {
        ADD_FAILURE() << "unhandled failure: " << message.toStdString();
    });
}

// Runs the event loop until Condition holds or Timeout passes.
inline bool ProcessEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer tick;
    tick.start(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}
