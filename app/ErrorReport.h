#pragma once

// The application-wide error report: a failure that no handler takes care of
// is shown to the operator as its message in a message box.

#include <QApplication>
#include <functional>
#include <string>

// Shows Message the way the current report does (a message box by default).
void ReportError(const std::string& message);

// Replaces how reports are shown (tests collect them); returns the previous
// way. An empty one restores the message box.
using TErrorReport = std::function<void(const std::string& message)>;
TErrorReport SetErrorReport(TErrorReport report);

// Runs Handler and reports what it throws, so that no exception leaves an
// event handler into the event loop.
template <class F>
void Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

// The application object: every event it delivers is guarded, and the serial
// ports' handler failures reach the same report.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
