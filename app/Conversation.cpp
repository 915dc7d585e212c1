// The window's side of the host conversations: the session
// (conversation/Session.h) moves the bytes, keeps the log and the transcript;
// the window gives it the tray, the shape and the DBL, and shows what it tells.

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/ScreenTexts.h"
#include "app/StatusBar.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "shape/Convert.h"

// What the session asks of the window and tells it.
class TForm1::TSessionView : public TSessionFace {
public:
    explicit TSessionView(TForm1& form) : FForm(form) {}

    void ReplyWaiting() override { FForm.PostMessage(WM_HOSTREPLY); }
    void TimerRunning(bool running) override {
        if (running)
            FForm.TimeoutTimer->start();
        else
            FForm.TimeoutTimer->stop();
    }
    void Pause(unsigned milliseconds) override { FForm.Pause(milliseconds); }

    std::string Tray() override { return FForm.PacketTray(); }
    TStoreSource StoreSource() override { return {FForm.FWorking, FForm.FRecords}; }
    double StoreDBL() override {
        const QString text = FForm.DBLEdit->Text();
        const std::optional<double> dbl = TValueEdit::ParseValue(text);
        if (!dbl) throw EConvertError::NotFloat(text.toLatin1().toStdString());
        return *dbl;
    }

    void ShowStatus(const std::string& text) override { FForm.ShowStatus(text, 0); }
    void ShowCountdown(std::int32_t seconds) override {
        FForm.StatusBar1->SetPanelText(1, seconds > 0 ? QString::number(seconds) : QString());
    }
    void Busy(bool busy) override { FForm.EnableControls(!busy); }
    void LinkWarning(const std::string& text) override { FForm.ShowStatus(text, 0); }

    void JobReading() override { FForm.FReceived.Radii.clear(); }
    void ReplyNotUnderstood(const std::string& reply) override {
        // Support reads a reply the program could not make sense of from the clipboard.
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(Latin1Text(reply));
    }
    void JobNotFound() override {
        FForm.FWorking = FForm.FReceived;
        FForm.DrawShape();
    }
    void JobReceived(TJobData& job) override {
        FForm.FJob.TakeHostJob(job);
        FForm.DrawShape();
        FForm.EnableControls(true);
        FForm.ShowValues();
    }
    void StoreUploading(const TStoreSource& upload) override {
        FForm.FWorking = upload.Working;
        FForm.FRecords = upload.Records;
    }
    void JobStored() override {
        FForm.FReceived.Radii.clear();
        FForm.FWorking.Radii.clear();
        FForm.DrawShape();
        FForm.EnableControls(true);
        FForm.ShowValues();
        FForm.TrayEdit->clear();
        FForm.TrayEdit->setFocus();
    }
    void Ended(const TSessionEnd& end) override {
        switch (end.Kind) {
            case TSessionEnd::seNotStarted:
                if (!end.LinkOpen)
                    FForm.ReportPortNotOpen();
                else
                    // The request did not go (a dead line): the panel must not
                    // go on saying it did; the error report follows.
                    FForm.ShowStatus(end.Message, 0);
                return;
            case TSessionEnd::seNotFound:
            case TSessionEnd::seFailed:
                FForm.FEndMessage = end.Message;
                // A request that ends here leaves no shape: nothing to edit or store.
                FForm.ShowValues();
                if (end.Kind == TSessionEnd::seFailed) FForm.ShowConversationEnd();
                return;
            case TSessionEnd::seTimeout:
                FForm.FEndMessage = end.Message;
                FForm.ShowConversationEnd();
                return;
        }
    }

private:
    TForm1& FForm;
};

void TForm1::CreateSession() {
    FSessionView = std::make_unique<TSessionView>(*this);
    TSessionClock clock;
    if (FHooks.TickCount) clock.TickCount = FHooks.TickCount;
    if (FHooks.LocalTime)
        clock.LocalTime = [this] {
            const QTime time = FHooks.LocalTime();
            return TTimeOfDay{time.hour(), time.minute(), time.second(), time.msec()};
        };
    TSessionOptions options;
    options.Version = TREVALON_VERSION;
    options.Platform = TREVALON_PLATFORM;
    const QString transcripts =
        FHooks.TranscriptPath.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                  QStringLiteral("/transcripts")
            : FHooks.TranscriptPath;
    options.TranscriptFolder = transcripts.toStdString();
    FSession = std::make_unique<TSession>(*FSessionView, FHooks.ComPortHooks(), *COMPort,
                                          std::move(clock), std::move(options));
}

void TForm1::SendToHost(const std::string& text) {
    FSession->SendToHost(text);
}

void TForm1::Pause(unsigned milliseconds) {
    if (FHooks.Sleep)
        FHooks.Sleep(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TForm1::ShowStatus(const std::string& text, int panel) {
    ShowStatusText(ScreenText(text), panel);
}

void TForm1::ShowStatusText(const QString& text, int panel) {
    StatusBar1->SetPanelText(panel, text);
    // Panel 0 may cut a long message; the bar's tooltip always holds all of it,
    // whichever panel changed last (the countdown changes every second).
    StatusBar1->SetHint(StatusBar1->PanelText(0));
}

void TForm1::EnableControls(bool enable) {
    SaveButton->setEnabled(enable && !FReceived.Radii.empty());
    ReqButton->setEnabled(enable);
    SettingsButton->setEnabled(enable);
    ResetButton->setEnabled(SaveButton->isEnabled());
    ShowOrigCheckbox->setEnabled(ResetButton->isEnabled());
    DetailedGridCheckBox->setEnabled(ResetButton->isEnabled());
}

void TForm1::HostReply() {
    FSession->HostReply();
}

void TForm1::TimeoutTimerTimer() {
    FSession->Tick();
}

bool TForm1::FormKeyDown(QKeyEvent* key) {
    if (key->key() == Qt::Key_Escape) {
        if (FSession->Cancel()) SendMessage(WM_ENDCONVERSATION);
        return false;  // passed on either way
    }
    return OverlayKeyDown(key);
}
