#pragma once

// The application-wide error report: a failure that no handler takes care of
// is shown to the operator as its message in a message box.

#include <QApplication>
#include <functional>
#include <string>

// Shows Message the way the current report does (a message box by default).
void ReportError(const std::string& Message);

// Replaces how reports are shown (tests collect them); returns the previous
// way. An empty one restores the message box.
using TErrorReport = std::function<void(const std::string& Message)>;
TErrorReport SetErrorReport(TErrorReport Report);

// Runs Handler and reports what it throws, so that no exception leaves an
// event handler into the event loop.
template <class F>
void Guarded(F&& Handler) {
    try {
        Handler();
    } catch (const std::exception& E) {
        ReportError(E.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

// The application object: every event it delivers is guarded, and the serial
// ports' handler failures reach the same report.
class TApplication : public QApplication {
public:
    TApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};
