#pragma once

#include <QPointer>
#include <QWidget>

class QSocketNotifier;

// While it exists, SIGTERM, SIGINT and SIGHUP (a session logging out, Ctrl+C
// in a terminal) close Window the ordinary way instead of killing the
// process, so the window's close handling runs and the temporary log file is
// deleted. The previous handlers come back when it goes. One at a time.
class TTerminationSignals {
public:
    explicit TTerminationSignals(QWidget& window);
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

private:
    QPointer<QWidget> FWindow;
    QSocketNotifier* FNotifier = nullptr;
};
