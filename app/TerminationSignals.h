#pragma once

#include <QPointer>
#include <QWidget>

// While it exists, the ways the system ends a program close Window the
// ordinary way instead of killing the process, so the window's close handling
// runs and the temporary log file is deleted: on POSIX SIGTERM, SIGINT and
// SIGHUP (a session logging out, Ctrl+C in a terminal), whose previous
// handlers come back when it goes; on Windows the end of the session
// (WM_ENDSESSION) and the console's Ctrl+C, Ctrl+Break and close. One at a time.
// TerminationSignalsPosix.cpp and TerminationSignalsWin32.cpp hold the halves.
class TTerminationSignals {
public:
    explicit TTerminationSignals(QWidget& window);
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

private:
    QPointer<QWidget> FWindow;
    QObject* FListener = nullptr;  // what watches for the end, owned here
};
