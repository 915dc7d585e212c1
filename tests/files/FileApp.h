// The application object of the file tests, created once.
#pragma once

#include <QCoreApplication>

#include "app/ErrorReport.h"

inline void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "test_files";
    static char* argv[] = {name, nullptr};
    new TApplication(argc, argv);  // lives for the test program
}
