#include "app/ErrorReport.h"

#include <cstdio>
#include <utility>

#include "app/Fonts.h"
#include "crash/CrashHandler.h"

TApplication::TApplication(int& argc, char** argv, std::function<void(const QString&)> report)
    : QApplication(argc, argv) {
    FHooks.ReportError = std::move(report);
    AddFontLookAlikes();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    try {
        Guarded(FHooks, [&] { result = QApplication::notify(receiver, event); });
    } catch (...) {
        // The report itself failed (no memory for the message box, a report
        // that throws): nothing is left to handle it, so it is a crash, and
        // Qt's event loop must not unwind.
        char where[160];
        std::snprintf(where, sizeof where, "an event handler (%s, event %d)",
                      receiver != nullptr ? receiver->metaObject()->className() : "no receiver",
                      event != nullptr ? static_cast<int>(event->type()) : -1);
        DieOfEscapedException(where);
    }
    return result;
}
