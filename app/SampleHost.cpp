#include "app/SampleHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr int StartTimeoutMs = 10000;
constexpr int StopTimeoutMs = 3000;
constexpr int PollMs = 20;

QString Existing(const QDir& base, std::initializer_list<const char*> candidates, bool folder) {
    for (const char* candidate : candidates) {
        const QFileInfo info(base.filePath(QString::fromLatin1(candidate)));
        if (folder ? info.isDir() : info.isExecutable() && info.isFile())
            return info.absoluteFilePath();
    }
    return {};
}

QString LogText(const QString& logFile) {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(file.readAll());
}

// The last lines of the simulator's log: what it said when it failed.
QString LogTail(const QString& logFile) {
    const QStringList lines = LogText(logFile).trimmed().split(u'\n');
    return lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(QStringLiteral(" / "));
}

}  // namespace

TSampleHost::TSampleHost(QString program, QString samples, QString folder)
    : FProgram(std::move(program)),
      FSamples(std::move(samples)),
      FFolder(std::move(folder)),
      FLine(SampleHostLine(FFolder)) {}

TSampleHost::~TSampleHost() {
    Stop();
}

std::unique_ptr<TSampleHost> TSampleHost::Find(const std::string& programFile) {
    const QDir dir = QFileInfo(QString::fromStdString(programFile)).absoluteDir();
    const QString program =
        Existing(dir, {"trevalon-host", "trevalon-host.exe", "../tools/trevalon-host"}, false);
    const QString samples =
        Existing(dir, {"../share/trevalon/samples", "samples", "../samples"}, true);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (program.isEmpty() || samples.isEmpty() || data.isEmpty()) return nullptr;
    auto host = std::make_unique<TSampleHost>(program, samples, data + QStringLiteral("/sample-host"));
    if (!host->FLine.Supported) return nullptr;
    return host;
}

bool TSampleHost::Running() const {
    return FProcess && FProcess->state() != QProcess::NotRunning;
}

void TSampleHost::Start() {
    if (Running()) return;
    if (!QDir().mkpath(FFolder))
        throw ESampleHost("The sample host's folder " + QDir::toNativeSeparators(FFolder).toStdString() +
                          " cannot be made");
    const QString log = FFolder + QStringLiteral("/trevalon-host.log");
    // The log is appended to: only what this run writes says it is ready.
    const qsizetype earlier = LogText(log).size();
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::ForwardedChannels);
    FProcess->setProgram(FProgram);
    FProcess->setArguments(QStringList{QStringLiteral("--jobs"), FFolder + QStringLiteral("/jobs"),
                                       QStringLiteral("--samples"), FSamples,
                                       QStringLiteral("--log"), log} +
                           FLine.Arguments);
    if (FLine.Prepare) FLine.Prepare(*FProcess);
    FProcess->start();
    const auto failed = [&](const QString& why) {
        const QString said = LogTail(log);
        Stop();
        return ESampleHost(("The sample host did not start: " + why +
                            (said.isEmpty() ? QString() : QStringLiteral(" (") + said + u')'))
                               .toStdString());
    };
    if (!FProcess->waitForStarted(StartTimeoutMs)) throw failed(FProcess->errorString());
    // The simulator makes its line in a few milliseconds; it ends at once when
    // it cannot, and says why in its log.
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!FLine.Ready(LogText(log).mid(earlier))) {
        if (FProcess->state() == QProcess::NotRunning) throw failed(QStringLiteral("it ended"));
        if (deadline.hasExpired()) throw failed(QStringLiteral("its line did not appear in time"));
        if (FProcess->waitForFinished(PollMs)) throw failed(QStringLiteral("it ended"));
    }
}

void TSampleHost::Stop() {
    if (!FProcess) return;
    if (FProcess->state() != QProcess::NotRunning) {
        if (FLine.Killed)
            FProcess->kill();
        else
            FProcess->terminate();  // SIGTERM: the simulator removes its line
        if (!FProcess->waitForFinished(StopTimeoutMs)) {
            FProcess->kill();
            FProcess->waitForFinished(StopTimeoutMs);
        }
    }
    FProcess.reset();
}
