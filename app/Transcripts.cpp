// Session transcripts of the window's conversations: each request and store
// is recorded, kept in the user's data folder, and the last one can be saved
// where the operator chooses for support.

#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <chrono>

#include "app/TranscriptFiles.h"
#include "app/Unit1.h"

namespace {

std::uint32_t MonotonicMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void TForm1::BeginTranscript(const char* kind) {
    FEngine->SetRecorder(nullptr);
    FTranscript.reset();
    // Recording is on unless the settings turn it off.
    if (SettingsList.Value("Transcripts") == "N") return;
    const TTranscriptHeader header =
        TranscriptHeaderFor(SettingsList, kind, TrayText(), TREVALON_VERSION, TREVALON_PLATFORM);
    FTranscript = std::make_unique<TTranscriptRecorder>(header, MonotonicMs);
    FTranscriptStored = false;
    FEngine->SetRecorder(FTranscript.get());
}

void TForm1::FinishTranscript() {
    if (!FTranscript || FTranscriptStored || !FTranscript->Ended()) return;
    FTranscriptStored = true;
    FLastTranscript = FTranscript->Text();
    const QString folder =
        FHooks.TranscriptPath.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                  QStringLiteral("/transcripts")
            : FHooks.TranscriptPath;
    const TTranscriptHeader& header = FTranscript->Header();
    std::string error;
    if (!StoreTranscript(folder.toStdString(),
                         TranscriptFileName(header.Start, header.Kind, header.Tray),
                         FLastTranscript, error) &&
        !FTranscriptFailureLogged) {
        // Once: the conversations go on without their transcripts.
        FTranscriptFailureLogged = true;
        FLog.AddEndLine("Cannot write the session transcript in " + folder.toStdString() + ": " + error,
                        FormatTimeStamp(LocalTime()));
    }
}

void TForm1::SaveTranscript1Click() {
    if (FLastTranscript.empty()) {
        ReportFileFailure("There is no session transcript to save yet");
        return;
    }
    TFileChoice choice{fcSaveTranscript, {QStringLiteral("Session transcripts (*.jsonl)")}, 0};
    const QString fileName =
        FHooks.ChooseFile ? FHooks.ChooseFile(choice)
                          : QFileDialog::getSaveFileName(this, QStringLiteral("Save Session Transcript"),
                                                         QStringLiteral("transcript.jsonl"),
                                                         choice.Filters.constFirst());
    if (fileName.isEmpty()) return;
    std::string error;
    const QFileInfo info(fileName);
    if (!WriteTranscriptFile(fileName.toStdString(), FLastTranscript, error)) {
        ReportFileFailure("Cannot save the session transcript: " + error);
        return;
    }
    ShowStatus("Saved " + info.fileName().toLatin1().toStdString(), 0);
}
