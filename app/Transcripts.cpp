// Saving the last session transcript where the operator chooses, for
// support; the session records and keeps them (conversation/Session.h).

#include <QFileDialog>
#include <QFileInfo>

#include "conversation/TranscriptFiles.h"
#include "app/Unit1.h"

void TForm1::SaveTranscript1Click() {
    if (FSession->LastTranscript().empty()) {
        ReportFileFailure("There is no session transcript to save yet");
        return;
    }
    TFileChoice choice{fcSaveTranscript, {tr("Session transcripts (*.jsonl)")}, 0};
    const QString fileName = FHooks.ChooseFile
                                 ? FHooks.ChooseFile(choice)
                                 : QFileDialog::getSaveFileName(this, tr("Save Session Transcript"),
                                                                QStringLiteral("transcript.jsonl"),
                                                                choice.Filters.constFirst());
    if (fileName.isEmpty()) return;
    std::string error;
    const QFileInfo info(fileName);
    if (!WriteTranscriptFile(fileName.toStdString(), FSession->LastTranscript(), error)) {
        ReportFileFailure("Cannot save the session transcript: " + error);
        return;
    }
    ShowStatus("Saved " + info.fileName().toLatin1().toStdString(), 0);
}
