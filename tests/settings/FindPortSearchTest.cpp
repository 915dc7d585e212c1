// The host search of the settings dialog, over pseudo-terminals that stand
// for COM ports. The test plays hosts that understand only some line speeds
// (read from the speed the port gave the device) and fires the 3000 ms
// timeout itself: the dialog's timer never runs out during a test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "serial/Comms.h"
#include "settings/FindPort.h"
#include "settings/Settings.h"
#include "tests/settings/SettingsFixture.h"

namespace {

// A device on a port: silent, or a host that answers the request with
// Answer (one write per piece) at the speeds in Rates only.
struct TFakeHost {
    TPtyHost Pty;
    std::set<int> Rates;
    std::vector<std::string> Answer = {
        "\x06\x1c"
        "ANS=INI\r\x1e"
        "CRC=4711\r\x1d"};
};

const std::string KeptSettings =
    "Port=COM9\r\nBaudRate=115200\r\nParity=Even\r\nDataBits=7\r\nStopBits=2\r\n"
    "TracerMode=No Init\r\nPauseMode=Y\r\n";

class TFindHostTest : public ::testing::Test, protected TPortWorld {
protected:
    TFindHostTest() {
        FSettings.SetText(KeptSettings);
        FAnswer = [this](QWidget*, const TMessageBoxInfo& box) {
            FBoxes.push_back(box);
            return box.Icon == QMessageBox::Question ? FConfirmAnswer : QMessageBox::Ok;
        };
    }
    ~TFindHostTest() override {
        FDialog.reset();
        EXPECT_TRUE(FErrors.empty()) << FErrors.front();
    }

    void Plug(const std::string& port, TFakeHost& host) {
        FNames.Add(port, host.Pty.SlavePath());
        FHosts[port] = &host;
    }

    TSettingsForm& OpenDialog() {
        FDialog = std::make_unique<TSettingsForm>(FSettings, Hooks());
        EXPECT_EQ(FDialog->TimeoutTimer->interval(), 3000);
        EXPECT_EQ(FDialog->TimeoutTimer->timerType(), Qt::PreciseTimer);  // never early
        FDialog->TimeoutTimer->setInterval(3600 * 1000);                  // the test fires it
        return *FDialog;
    }

    bool Searching() const { return !FDialog->FindPortForm.isNull(); }
    bool AttemptWaits() const { return FDialog->TimeoutTimer->isActive(); }

    // Plays the hosts until the search ends: reads each attempt's request
    // where it went; the host there answers if it understands the port's
    // speed, and the timeout fires once the answer was read without ending
    // the attempt. Returns the attempts as "port|rate".
    std::vector<std::string> Play() {
        std::vector<std::string> attempts;
        for (int guard = 0; guard < 100; ++guard) {
            if (!ProcessEventsUntil([&] { return AttemptWaits() || !Searching(); })) {
                ADD_FAILURE() << "search neither waits nor ends";
                break;
            }
            if (!Searching()) break;
            const std::string port = FDialog->ComPort1->Port();
            TFakeHost& host = *FHosts.at(port);
            EXPECT_EQ(host.Pty.Read(21), FindHostRequest());
            const int rate = BaudRateOf(host.Pty.LineSettings());
            attempts.push_back(port + "|" + std::to_string(rate));
            if (host.Rates.count(rate) != 0) {
                std::size_t sent = 0;
                for (std::size_t i = 0; i < host.Answer.size(); ++i) {
                    host.Pty.Write(host.Answer[i]);
                    sent += host.Answer[i].size();
                    // Each piece is read before the next goes out, so each is
                    // a delivery of its own.
                    EXPECT_TRUE(ProcessEventsUntil(
                        [&] { return FDialog->FReplyBuffer.size() >= sent || !AttemptWaits(); }));
                    if (i + 1 < host.Answer.size() && !AttemptWaits()) {
                        ADD_FAILURE() << "recognised before the last piece " << i;
                        break;
                    }
                }
            }
            if (AttemptWaits()) FDialog->TimeoutTimerTimer();
        }
        return attempts;
    }

    // The closing message box of the search.
    const TMessageBoxInfo& LastBox() {
        EXPECT_TRUE(ProcessEventsUntil([&] { return FBoxes.size() >= 2; }));
        static const TMessageBoxInfo None;
        return FBoxes.empty() ? None : FBoxes.back();
    }

    void ExpectIdle() {
        EXPECT_FALSE(Searching());
        EXPECT_FALSE(FDialog->ComPort1->Active());
        EXPECT_FALSE(FDialog->TimeoutTimer->isActive());
        EXPECT_TRUE(FDialog->BitBtn3->isEnabled());
    }

    void ExpectFieldsKept() {
        EXPECT_EQ(FDialog->COMPortComboBox->currentText(), "COM9");
        EXPECT_EQ(FDialog->BaudRateComboBox->currentText(), "115200");
        EXPECT_EQ(FDialog->ParityComboBox->currentText(), "Even");
        EXPECT_EQ(FDialog->DatabitsComboBox->currentText(), "7");
        EXPECT_EQ(FDialog->StopBitsComboBox->currentText(), "2");
    }

    // Late ticks and messages of a search that ended (or of an earlier one).
    void SendLateEvents(unsigned search) {
        FDialog->TimeoutTimerTimer();
        for (const auto& [Message, WParam] : {std::pair{WM_FINDNEXT, 0},
                                              {WM_HOSTFOUND, 0},
                                              {WM_FINDDONE, int{foNotFound}},
                                              {WM_FINDDONE, int{foCancelled}},
                                              {WM_FINDDONE, int{foNoAccess}}})
            QCoreApplication::postEvent(FDialog.get(), new TFindMessage(Message, WParam, search));
        QCoreApplication::sendPostedEvents(FDialog.get());
        FDialog->TimeoutTimerTimer();
        QCoreApplication::sendPostedEvents(FDialog.get());
    }

    TNameValueList FSettings;
    std::map<std::string, TFakeHost*> FHosts;
    std::vector<TMessageBoxInfo> FBoxes;
    QMessageBox::StandardButton FConfirmAnswer = QMessageBox::Yes;
    std::unique_ptr<TSettingsForm> FDialog;
};

TEST_F(TFindHostTest, AHostAnsweringOnlyAt38400IsFoundOnTheThirdAttempt) {
    TFakeHost com1, com4;
    com1.Rates = {38400};
    Plug("COM1", com1);
    Plug("COM4", com4);
    TSettingsForm& d = OpenDialog();

    d.BitBtn3->click();
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].Text,
              "This will attempt to find the host\ron all available serial ports at all\r"
              "available baud rates.\r\rContinue?");
    EXPECT_EQ(FBoxes[0].Caption, "Confirm...");
    EXPECT_EQ(FBoxes[0].Icon, QMessageBox::Question);
    EXPECT_EQ(FBoxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(FBoxes[0].DefaultButton, QMessageBox::No);

    EXPECT_EQ(d.FCandidates,
              (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400", "COM1|57600",
                                        "COM4|9600", "COM4|19200", "COM4|38400", "COM4|57600"}));
    ASSERT_TRUE(Searching());
    EXPECT_TRUE(d.FindPortForm->isVisible());
    EXPECT_EQ(d.FindPortForm->ProgressBar1->maximum(), 8);
    EXPECT_EQ(d.FindPortForm->ProgressBar1->value(), 0);
    EXPECT_EQ(d.FindPortForm->Label1->text(), "");
    EXPECT_FALSE(d.BitBtn3->isEnabled());
    EXPECT_FALSE(d.ComPort1->Active());  // nothing opened before the first message

    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    EXPECT_EQ(d.FindPortForm->Label1->text(), "Trying COM1 at 9600 baud...");
    EXPECT_EQ(d.FindPortForm->ProgressBar1->value(), 1);
    EXPECT_EQ(d.FCandidates.size(), 7u);

    const std::vector<std::string> attempts = Play();
    EXPECT_EQ(attempts, (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400"}));
    const TMessageBoxInfo& box = LastBox();
    EXPECT_EQ(box.Text, "Found host on COM1");
    EXPECT_EQ(box.Caption, "Success!");
    EXPECT_EQ(box.Icon, QMessageBox::Information);
    EXPECT_EQ(box.Buttons, QMessageBox::Ok);
    EXPECT_EQ(FBoxes.size(), 2u);
    ExpectIdle();

    EXPECT_EQ(d.COMPortComboBox->currentText(), "COM1");
    EXPECT_EQ(d.BaudRateComboBox->currentText(), "38400");
    EXPECT_EQ(d.ParityComboBox->currentText(), "None");
    EXPECT_EQ(d.DatabitsComboBox->currentText(), "8");
    EXPECT_EQ(d.StopBitsComboBox->currentText(), "1");
    EXPECT_EQ(d.TracerModeComboBox->currentText(), "No Init");
    EXPECT_TRUE(d.PauseCheckbox->isChecked());
    EXPECT_EQ(d.FCandidates.size(), 5u);  // the untried ones stay
    EXPECT_EQ(com4.Pty.ReadAvailable(), "");

    // Only the dialog's OK stores what was found.
    EXPECT_EQ(FSettings.Text(), KeptSettings);
    d.BitBtn1->click();
    EXPECT_EQ(FSettings.Text(),
              "Port=COM1\r\nBaudRate=38400\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
              "TracerMode=No Init\r\nPauseMode=Y\r\n");
}

TEST_F(TFindHostTest, TheAnswerIsRecognisedAsItsPatternSays) {
    const struct {
        const char* Name;
        std::vector<std::string> Answer;
        bool Found;
    } rows[] = {
        {"typical packet",
         {"\x06\x1c"
          "ANS=INI\r\x1e"
          "CRC=4711\r\x1d"},
         true},
        {"lower case",
         {"\x1c"
          "ans=ini\r\x1e"
          "CRC=1\r\x1d"},
         false},
        {"mixed case", {"Ans=Ini"}, false},
        {"white space incl. CR LF",
         {"\x1c"
          "ANS \t\r\n=\r\n\f INI\r"},
         true},
        {"another character between", {"ANS=-INI"}, false},
        {"split over deliveries",
         {"\x1c"
          "AN",
          "S =", "\r\nI",
          "NI\r\x1e"
          "CRC=1\r\x1d"},
         true},
        {"split, never completed",
         {"\x1c"
          "ANS",
          "=", "IN"},
         false},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Name);
        FBoxes.clear();
        TFakeHost com2;
        com2.Rates = {9600};
        com2.Answer = tRow.Answer;
        Plug("COM2", com2);
        TSettingsForm& d = OpenDialog();
        d.BitBtn3->click();
        const std::vector<std::string> attempts = Play();
        const TMessageBoxInfo& box = LastBox();
        ExpectIdle();
        if (tRow.Found) {
            EXPECT_EQ(attempts, std::vector<std::string>{"COM2|9600"});
            EXPECT_EQ(box.Text, "Found host on COM2");
            EXPECT_EQ(d.COMPortComboBox->currentText(), "COM2");
            EXPECT_EQ(d.BaudRateComboBox->currentText(), "9600");
        } else {
            EXPECT_EQ(attempts, (std::vector<std::string>{"COM2|9600", "COM2|19200", "COM2|38400",
                                                          "COM2|57600"}));
            EXPECT_EQ(box.Text, "Did not find host");
            EXPECT_EQ(box.Caption, "Host Not Found");
            EXPECT_EQ(box.Icon, QMessageBox::Critical);
            ExpectFieldsKept();
        }
        FDialog.reset();
    }
}

TEST_F(TFindHostTest, NoUsablePortEndsWithDidNotFindHost) {
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    EXPECT_TRUE(d.FCandidates.empty());
    ASSERT_TRUE(Searching());
    EXPECT_EQ(d.FindPortForm->ProgressBar1->maximum(), 0);
    const TMessageBoxInfo& box = LastBox();
    EXPECT_EQ(box.Text, "Did not find host");
    EXPECT_EQ(box.Caption, "Host Not Found");
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    ExpectIdle();
    ExpectFieldsKept();
}

TEST_F(TFindHostTest, APortTakenBetweenProbeAndAttemptCannotBeAccessed) {
    TFakeHost com1, com4;
    Plug("COM1", com1);
    Plug("COM4", com4);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_EQ(d.FCandidates.size(), 8u);
    TComPort holder(WithQtOwner(FNames.PortHooks()));  // another program takes COM4 after the probe
    holder.SetPort("COM4");
    holder.SetActive(true);

    EXPECT_EQ(Play(),
              (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400", "COM1|57600"}));
    const TMessageBoxInfo& box = LastBox();
    EXPECT_EQ(box.Text, "Unable to access COM4");
    EXPECT_EQ(box.Caption, "Problem...");
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    ExpectIdle();
    ExpectFieldsKept();
    EXPECT_TRUE(d.FCandidates.empty());
    EXPECT_EQ(com4.Pty.ReadAvailable(), "");  // nothing was sent there
}

TEST_F(TFindHostTest, CancelWhileAnAttemptWaitsClosesThePortAndKeepsTheFields) {
    TFakeHost com3;
    com3.Rates = {19200};
    Plug("COM3", com3);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    ASSERT_TRUE(d.ComPort1->Active());
    d.FindPortForm->Button1->click();
    const TMessageBoxInfo& box = LastBox();
    EXPECT_EQ(box.Text, "Cancelled finding the host");
    EXPECT_EQ(box.Caption, "Cancelled");
    EXPECT_EQ(box.Icon, QMessageBox::Information);
    ExpectIdle();
    ExpectFieldsKept();
    EXPECT_TRUE(d.FCandidates.empty());
    EXPECT_EQ(FSettings.Text(), KeptSettings);
}

TEST_F(TFindHostTest, TheProgressWindowsCloseButtonCancelsTheSearch) {
    TFakeHost com3;
    Plug("COM3", com3);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    d.FindPortForm->close();
    EXPECT_EQ(LastBox().Text, "Cancelled finding the host");
    ExpectIdle();
}

TEST_F(TFindHostTest, LateTicksAndMessagesAfterTheEndChangeNothing) {
    const struct {
        const char* Name;
        std::set<int> Rates;
        bool Cancel;
        std::size_t Untried;
    } rows[] = {
        {"after found", {9600}, false, 7},
        {"after cancel", {}, true, 0},
        {"after not found", {}, false, 0},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Name);
        FBoxes.clear();
        TFakeHost com1, com2;
        com1.Rates = tRow.Rates;
        Plug("COM1", com1);
        Plug("COM2", com2);
        TSettingsForm& d = OpenDialog();
        d.BitBtn3->click();
        ASSERT_TRUE(Searching());
        const unsigned search = d.FindPortForm->Search();
        if (tRow.Cancel) {
            ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
            EXPECT_EQ(com1.Pty.Read(21), FindHostRequest());
            d.FindPortForm->Button1->click();
        } else {
            Play();
        }
        LastBox();
        const QString port = d.COMPortComboBox->currentText();
        const QString baud = d.BaudRateComboBox->currentText();
        const std::size_t boxCount = FBoxes.size();

        SendLateEvents(search);
        EXPECT_EQ(FBoxes.size(), boxCount);
        ExpectIdle();
        EXPECT_EQ(d.FCandidates.size(), tRow.Untried);
        EXPECT_EQ(d.COMPortComboBox->currentText(), port);
        EXPECT_EQ(d.BaudRateComboBox->currentText(), baud);
        EXPECT_EQ(com1.Pty.ReadAvailable(), "");  // no late attempt
        EXPECT_EQ(com2.Pty.ReadAvailable(), "");
        FDialog.reset();
    }
}

// A timeout decided just before the answer is read: the attempt that drew
// the answer is the one reported, and no further attempt starts.
TEST_F(TFindHostTest, AnAnswerReadAfterTheTimeoutReportsThePortThatAnswered) {
    TFakeHost com1;
    com1.Rates = {9600};
    Plug("COM1", com1);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    ASSERT_EQ(com1.Pty.Read(21), FindHostRequest());
    const std::string answer =
        "\x1c"
        "ANS=INI\r";
    com1.Pty.Write(answer);
    // The bytes reach the port without the event loop running, so neither
    // the timer's message nor the delivery has been handled yet.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (d.ComPort1->InputCount() < static_cast<std::int32_t>(answer.size()) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);

    d.TimeoutTimerTimer();  // WM_FINDNEXT posted first
    d.ComPort1RxChar(d.ComPort1->InputCount());
    EXPECT_EQ(d.FReplyBuffer, answer);
    EXPECT_EQ(LastBox().Text, "Found host on COM1");
    EXPECT_EQ(d.BaudRateComboBox->currentText(), "9600");
    QCoreApplication::sendPostedEvents(&d);
    ExpectIdle();
    EXPECT_EQ(com1.Pty.ReadAvailable(), "");  // the next candidate was never tried
    EXPECT_EQ(d.FCandidates.size(), 3u);
}

TEST_F(TFindHostTest, OneSearchAtATimeAndAStaleMessageDoesNotEndTheNext) {
    TFakeHost com5;
    com5.Rates = {57600};
    Plug("COM5", com5);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    const unsigned first = d.FindPortForm->Search();
    EXPECT_FALSE(d.BitBtn3->isEnabled());
    d.BitBtn3Click();  // pressed again all the same: no second search
    EXPECT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(d.FindPortForm->Search(), first);
    Play();
    EXPECT_EQ(LastBox().Text, "Found host on COM5");

    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    EXPECT_NE(d.FindPortForm->Search(), first);
    QCoreApplication::postEvent(&d, new TFindMessage(WM_FINDDONE, foCancelled, first));
    QCoreApplication::sendPostedEvents(&d);
    EXPECT_TRUE(Searching());
    EXPECT_TRUE(AttemptWaits());
    EXPECT_EQ(FBoxes.size(), 3u);
    Play();
    EXPECT_EQ(LastBox().Text, "Found host on COM5");
}

TEST_F(TFindHostTest, AnswerNoToTheConfirmationStartsNothing) {
    TFakeHost com1;
    Plug("COM1", com1);
    FConfirmAnswer = QMessageBox::No;
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    EXPECT_EQ(FBoxes.size(), 1u);
    ExpectIdle();
    EXPECT_TRUE(d.FCandidates.empty());
    QCoreApplication::sendPostedEvents(&d);
    EXPECT_EQ(com1.Pty.ReadAvailable(), "");
}

TEST_F(TFindHostTest, ClosingTheDialogDuringASearchEndsItSilently) {
    const struct {
        const char* Name;
        void (*Close)(TSettingsForm&);
    } ways[] = {
        {"Cancel", [](TSettingsForm& d) { d.BitBtn2->click(); }},
        {"OK", [](TSettingsForm& d) { d.BitBtn1->click(); }},
        {"title bar", [](TSettingsForm& d) { d.close(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Name);
        FBoxes.clear();
        TFakeHost com1;
        com1.Rates = {9600};
        Plug("COM1", com1);
        TSettingsForm& d = OpenDialog();
        d.show();
        d.BitBtn3->click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
        const unsigned search = d.FindPortForm->Search();
        com1.Pty.Write("ANS=INI");  // an answer on its way as the dialog closes
        way.Close(d);
        ExpectIdle();
        EXPECT_TRUE(d.FCandidates.empty());
        SendLateEvents(search);
        QCoreApplication::processEvents();
        EXPECT_EQ(FBoxes.size(), 1u);  // only the confirmation
        FDialog.reset();
    }
}

TEST_F(TFindHostTest, DestroyingTheDialogDuringAnAttemptIsClean) {
    TFakeHost com1;
    com1.Rates = {9600};
    Plug("COM1", com1);
    TSettingsForm& d = OpenDialog();
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    com1.Pty.Write("ANS=");
    FDialog.reset();  // as the main window frees the dialog
    QCoreApplication::processEvents();
    EXPECT_EQ(FBoxes.size(), 1u);
}

}  // namespace
