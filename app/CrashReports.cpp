#include "app/CrashReports.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <vector>

#include "crash/CrashHandler.h"

QString CrashReportFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/crash-reports");
}

QString CrashNoticeText(const TCrashReport& report) {
    const QString when = QDateTime::fromSecsSinceEpoch(report.Time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QCoreApplication::translate(
               "TCrashReports", "Trevalon stopped unexpectedly on %1. A report was saved to %2.")
        .arg(when, QDir::toNativeSeparators(QString::fromStdString(report.Path)));
}

QMessageBox* ShowCrashNotice(QWidget* window, const TCrashReport& report, TOpenUrl open) {
    if (!open) open = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                                CrashNoticeText(report), QMessageBox::NoButton, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QPushButton* openReport = box->addButton(
        QCoreApplication::translate("TCrashReports", "Open Report"), QMessageBox::ActionRole);
    QPushButton* openFolder = box->addButton(
        QCoreApplication::translate("TCrashReports", "Open Folder"), QMessageBox::ActionRole);
    box->addButton(QMessageBox::Close);
    const QString path = QString::fromStdString(report.Path);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [=](QAbstractButton* button) {
        if (button == openReport) open(QUrl::fromLocalFile(path));
        if (button == openFolder) open(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    });
    box->show();
    return box;
}

TCrashReports::TCrashReports() {
    InstallCrashHandler(QDir::toNativeSeparators(CrashReportFolder()).toStdString(), TREVALON_VERSION);
}

TCrashReports::~TCrashReports() {
    if (FConverter) FConverter->wait();
    RemoveCrashHandler();
}

void TCrashReports::TellAboutEarlierCrashes(QWidget& window) {
    if (FConverter) return;
    auto reports = std::make_shared<std::vector<TCrashReport>>();
    const std::string folder = QDir::toNativeSeparators(CrashReportFolder()).toStdString();
    // Reading the program's debugging information takes a moment; the
    // window is usable meanwhile.
    FConverter.reset(QThread::create([reports, folder] { *reports = ConvertDumps(folder, "Trevalon"); }));
    QObject::connect(FConverter.get(), &QThread::finished, &window, [reports, target = QPointer<QWidget>(&window)] {
        if (reports->empty() || !target) return;
        const TCrashReport& newest = reports->back();
        // Also on standard error, for a start from a terminal or a script.
        std::fprintf(stderr, "%s\n", CrashNoticeText(newest).toLocal8Bit().constData());
        std::fflush(stderr);
        ShowCrashNotice(target, newest);
    });
    FConverter->start(QThread::LowPriority);
}
