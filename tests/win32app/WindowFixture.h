// The application object of the Windows app tests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/ErrorReport.h"
#include "tests/support/QtEvents.h"  // ProcessEventsUntil

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
