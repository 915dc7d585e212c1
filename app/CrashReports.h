#pragma once

// The program's crash reports: while a TCrashReports exists, a fatal failure
// leaves a dump; at start-up the dumps of earlier runs become reports in the
// per-user data folder and the operator is told once, without waiting.

#include <QString>
#include <functional>
#include <memory>

#include "crash/DumpReport.h"

class QMessageBox;
class QThread;
class QUrl;
class QWidget;

// QStandardPaths::AppLocalDataLocation + "/crash-reports".
QString CrashReportFolder();

// "Trevalon stopped unexpectedly on <date time>. A report was saved to <path>."
QString CrashNoticeText(const TCrashReport& report);

// Shows the notice about Report beside Window and returns at once; its
// buttons open the report or its folder with Open (the desktop's own viewer
// when empty). The box deletes itself when closed.
using TOpenUrl = std::function<void(const QUrl& url)>;
QMessageBox* ShowCrashNotice(QWidget* window, const TCrashReport& report, TOpenUrl open = {});

class TCrashReports {
public:
    // Installs the crash handler with its dump in CrashReportFolder().
    TCrashReports();
    // An ordinary end: waits for a conversion still running, then removes
    // the handler and its empty dump.
    ~TCrashReports();
    TCrashReports(const TCrashReports&) = delete;
    TCrashReports& operator=(const TCrashReports&) = delete;

    // Turns the dumps of earlier runs into reports on a worker thread; when
    // there are new ones, tells the operator about the newest over Window.
    void TellAboutEarlierCrashes(QWidget& window);

private:
    std::unique_ptr<QThread> FConverter;
};
