#include "app/ErrorReport.h"

#include <QMessageBox>
#include <utility>

#include "serial/Comms.h"

namespace {

void ShowErrorBox(const std::string& Message) {
    QMessageBox::critical(
        QApplication::activeWindow(), QApplication::applicationDisplayName(),
        QString::fromLatin1(Message.data(), static_cast<qsizetype>(Message.size())));
}

TErrorReport& CurrentReport() {
    static TErrorReport Report = ShowErrorBox;
    return Report;
}

}  // namespace

void ReportError(const std::string& Message) {
    CurrentReport()(Message);
}

TErrorReport SetErrorReport(TErrorReport Report) {
    TErrorReport Previous = std::move(CurrentReport());
    CurrentReport() = Report ? std::move(Report) : TErrorReport(ShowErrorBox);
    return Previous;
}

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
    SetComErrorReport([](const std::string& Message) { ReportError(Message); });
}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
    bool Result = false;
    Guarded([&] { Result = QApplication::notify(Receiver, Event); });
    return Result;
}
