#include "app/ErrorReport.h"

#include <utility>

TApplication::TApplication(int& argc, char** argv, std::function<void(const QString&)> report)
    : QApplication(argc, argv) {
    FHooks.ReportError = std::move(report);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    Guarded(FHooks, [&] { result = QApplication::notify(receiver, event); });
    return result;
}
