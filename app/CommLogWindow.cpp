// The main window's side of the communication log: entries, the end of a
// conversation and the display of the log file.
#include <QDir>
#include <cstdio>

#include "app/CommLog.h"
#include "app/StatusBar.h"
#include "app/Unit1.h"

void TForm1::LogToHost(const std::string& bytes) {
    FSession->LogData(TCommLog::ldToHost, bytes);
}

void TForm1::LogFromHost(const std::string& bytes) {
    FSession->LogData(TCommLog::ldFromHost, bytes);
}

void TForm1::EndConversation() {
    FSession->EndConversation(FEndMessage);
    ShowConversationEnd();
}

void TForm1::ShowConversationEnd() {
    ShowStatus(FEndMessage, 0);
    ShowStatus(std::string(), 1);
    EnableControls(true);
    // The enabling follows the shapes as they are now: a request that failed
    // left none, and nothing may be edited, rotated or stored without one.
    ShowValues();
    PostMessage(WM_REDRAWSHAPE);
    ShowLog();
}

void TForm1::DisplayCommunicationLog1Click() {
    FEndMessage = "Display Log";
    PostMessage(WM_ENDCONVERSATION);
}

// Writes the whole log to its temporary file and opens it for the operator.
// When the file cannot be made or written the log stays in memory, panel 0
// says why, and the next display tries again.
void TForm1::ShowLog() {
    if (FClosed) return;  // the file would outlive the window
    TCommLog& log = FSession->Log();
    log.AddLine(std::string());
    std::vector<std::string> version;
    ReadVersionInfo(FProgramFile, version);
    for (std::string& line : version) log.AddLine(std::move(line));

    std::string error;
    if (FLogFileName.empty()) {
        const QString folder = FHooks.TempPath.isEmpty() ? QDir::tempPath() : FHooks.TempPath;
        FLogFileName = CreateLogFile(folder.toStdString(), error);
        if (FLogFileName.empty()) {
            ShowStatusText(tr("Cannot create the communication log file: %1")
                               .arg(QString::fromStdString(error)),
                           0);
            return;
        }
    }
    if (!WriteLogFile(FLogFileName, log.Text(), error)) {
        ShowStatusText(
            tr("Cannot write the communication log file %1: %2")
                .arg(QString::fromStdString(FLogFileName), QString::fromStdString(error)),
            0);
        return;
    }
    const QString name = QString::fromStdString(FLogFileName);
    if (!OpenInViewer(name, vwLog))
        ShowStatusText(tr("No viewer could be started for the communication log %1").arg(name), 0);
}

void TForm1::DeleteLogFile() {
    if (FLogFileName.empty()) return;
    RemoveLogFile(FLogFileName);
    FLogFileName.clear();
}
