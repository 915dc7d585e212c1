// A window program whose event handler fails and whose error report then
// fails too, so the exception escapes the application's own handling.
// Usage: event_fault_program FOLDER; prints like fault_program.
#include <QApplication>
#include <QTimer>
#include <iostream>
#include <stdexcept>

#include "app/ErrorReport.h"
#include "crash/CrashHandler.h"
#include "crash/DumpReport.h"

int main(int argc, char** argv) {
    TApplication application(argc, argv, [](const QString&) { throw std::runtime_error("the report failed too"); });
    if (argc != 2) return 2;
    const bool installed = InstallCrashHandler(argv[1], "9.8.7");
    for (const TCrashReport& report : ConvertDumps(argv[1], "EventFaultProgram"))
        std::cout << "report " << report.Path << "\n";
    std::cout << "handler " << (installed ? 1 : 0) << std::endl;
    QObject target;
    QTimer::singleShot(0, &target, [] { throw std::runtime_error("the handler failed"); });
    const int result = application.exec();
    RemoveCrashHandler();
    return result;
}
