// The window's side of the host conversations: it drives the engine
// (conversation/Conversation.h) with the link's bytes, the timer's ticks and
// the operator's keys, and shows what the engine tells it.

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/StatusBar.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "link/Link.h"
#include "shape/Convert.h"

// What the engine asks of the window and tells it.
class TForm1::TEngineSink : public TConversationSink {
public:
    explicit TEngineSink(TForm1& form) : FForm(form) {}

    std::int32_t Write(const std::string& bytes) override { return FForm.FLink->Write(bytes); }
    void ReplyComplete() override { FForm.PostMessage(WM_HOSTREPLY); }
    void LogToHost(const std::string& bytes) override { FForm.LogToHost(bytes); }
    void LogFromHost(const std::string& bytes) override { FForm.LogFromHost(bytes); }
    void LogLine(const std::string& text) override {
        FForm.FLog.AddEndLine(text, FormatTimeStamp(FForm.LocalTime()));
    }
    void ShowStatus(const std::string& text, int panel) override { FForm.ShowStatus(text, panel); }
    void ShowCountdown(std::int32_t seconds) override {
        FForm.StatusBar1->SetPanelText(1, seconds > 0 ? QString::number(seconds) : QString());
    }
    void TimerRunning(bool running) override {
        if (running)
            FForm.TimeoutTimer->start();
        else
            FForm.TimeoutTimer->stop();
    }
    void EnableControls(bool enable) override { FForm.EnableControls(enable); }
    void Pause(unsigned milliseconds) override { FForm.Pause(milliseconds); }
    std::string Tray() override { return FForm.PacketTray(); }
    TStoreSource StoreSource() override { return {FForm.FWorking, FForm.FRecords}; }
    double StoreDBL() override {
        const QString text = FForm.DBLEdit->Text();
        const std::optional<double> dbl = TValueEdit::ParseValue(text);
        if (!dbl) throw EConvertError::NotFloat(text.toLatin1().toStdString());
        return *dbl;
    }

    bool StartFailed(const std::string& message) override {
        FForm.FinishTranscript();
        if (!FForm.FLink->IsOpen()) {
            FForm.ReportPortNotOpen(message);
            return false;
        }
        // The request did not go (a dead line): the panel must not go on
        // saying it did, and the log keeps why.
        LogLine(message);
        FForm.ShowStatus(message, 0);
        return true;
    }
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
        FForm.FinishTranscript();
        FForm.FRecords.Clear();
        for (std::string& line : job.Records) FForm.FRecords.Add(std::move(line));
        FForm.FReceived.Radii = std::move(job.Radii);
        FForm.FReceived.DBL = job.DBL;
        FForm.MeasureShape(FForm.FReceived);
        FForm.FWorking = FForm.FReceived;
        FForm.DrawShape();
        FForm.EnableControls(true);
        FForm.ShowValues();
    }
    void StoreUploading(const TStoreSource& upload) override {
        FForm.FWorking = upload.Working;
        FForm.FRecords = upload.Records;
    }
    void JobStored() override {
        FForm.FinishTranscript();
        FForm.FReceived.Radii.clear();
        FForm.FWorking.Radii.clear();
        FForm.DrawShape();
        FForm.EnableControls(true);
        FForm.ShowValues();
        FForm.TrayEdit->clear();
        FForm.TrayEdit->setFocus();
    }
    void Failed(const std::string& message, TFailure failure) override {
        FForm.FinishTranscript();
        FForm.FEndMessage = message;
        // A request that ends here leaves no shape: nothing to edit or store.
        FForm.ShowValues();
        if (failure == fdShown) FForm.SendMessage(WM_ENDCONVERSATION);
    }
    void TimedOut() override {
        FForm.FinishTranscript();
        FForm.FEndMessage = TimeoutMessage;
        FForm.SendMessage(WM_ENDCONVERSATION);
    }

private:
    TForm1& FForm;
};

std::unique_ptr<TConversationSink> TForm1::NewEngineSink() {
    return std::make_unique<TEngineSink>(*this);
}

TConversationSettings TForm1::ConversationSettings() const {
    return {SettingsList.Value("TracerMode") == "No Init", SettingsList.Value("PauseMode") == "Y"};
}

void TForm1::SendToHost(const std::string& text) {
    FEngine->SendToHost(text);
}

void TForm1::Pause(unsigned milliseconds) {
    if (FHooks.Sleep)
        FHooks.Sleep(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TForm1::ShowStatus(const std::string& text, int panel) {
    ShowStatusText(Latin1Text(text), panel);
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

void TForm1::COMPortRxChar(std::int32_t count) {
    const std::uint32_t now = TickCount();
    // Bytes that arrive meanwhile are announced by the link's next event.
    FEngine->Received(FLink->Read(count), now);
}

void TForm1::HostReply() {
    FEngine->HostReply();
}

void TForm1::TimeoutTimerTimer() {
    FEngine->Tick();
}

bool TForm1::FormKeyDown(QKeyEvent* key) {
    if (key->key() == Qt::Key_Escape) {
        if (FEngine->Cancel()) SendMessage(WM_ENDCONVERSATION);
        return false;  // passed on either way
    }
    return OverlayKeyDown(key);
}
