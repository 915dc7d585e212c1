#include "app/ErrorReport.h"

#include <QMessageBox>
#include <utility>

#include "serial/Comms.h"

namespace {

void ShowErrorBox(const std::string& message) {
    QMessageBox::critical(
        QApplication::activeWindow(), QApplication::applicationDisplayName(),
        QString::fromLatin1(message.data(), static_cast<qsizetype>(message.size())));
}

TErrorReport& CurrentReport() {
    static TErrorReport report = ShowErrorBox;
    return report;
}

}  // namespace

void ReportError(const std::string& message) {
    CurrentReport()(message);
}

TErrorReport SetErrorReport(TErrorReport report) {
    TErrorReport previous = std::move(CurrentReport());
    CurrentReport() = report ? std::move(report) : TErrorReport(ShowErrorBox);
    return previous;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    SetComErrorReport([](const std::string& message) { ReportError(message); });
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    Guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}
