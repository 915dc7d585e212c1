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

class FindHostTest : public ::testing::Test, protected TPortWorld {
protected:
    FindHostTest() {
        PreviousErrors = SetComErrorReport([this](const std::string& M) { Errors.push_back(M); });
        Settings.SetText(KeptSettings);
    }
    ~FindHostTest() override {
        Dialog.reset();
        SetComErrorReport(PreviousErrors);
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }

    void Plug(const std::string& Port, TFakeHost& Host) {
        Names.Add(Port, Host.Pty.SlavePath());
        Hosts[Port] = &Host;
    }

    TSettingsForm& OpenDialog() {
        Dialog = std::make_unique<TSettingsForm>(Settings);
        EXPECT_EQ(Dialog->TimeoutTimer->interval(), 3000);
        EXPECT_EQ(Dialog->TimeoutTimer->timerType(), Qt::PreciseTimer);  // never early
        Dialog->TimeoutTimer->setInterval(3600 * 1000);                  // the test fires it
        return *Dialog;
    }

    bool Searching() const { return !Dialog->FindPortForm.isNull(); }
    bool AttemptWaits() const { return Dialog->TimeoutTimer->isActive(); }

    // Plays the hosts until the search ends: reads each attempt's request
    // where it went; the host there answers if it understands the port's
    // speed, and the timeout fires once the answer was read without ending
    // the attempt. Returns the attempts as "port|rate".
    std::vector<std::string> Play() {
        std::vector<std::string> Attempts;
        for (int Guard = 0; Guard < 100; ++Guard) {
            if (!ProcessEventsUntil([&] { return AttemptWaits() || !Searching(); })) {
                ADD_FAILURE() << "search neither waits nor ends";
                break;
            }
            if (!Searching()) break;
            const std::string Port = Dialog->ComPort1->Port();
            TFakeHost& Host = *Hosts.at(Port);
            EXPECT_EQ(Host.Pty.Read(21), FindHostRequest());
            const int Rate = BaudRateOf(Host.Pty.LineSettings());
            Attempts.push_back(Port + "|" + std::to_string(Rate));
            if (Host.Rates.count(Rate) != 0) {
                std::size_t Sent = 0;
                for (std::size_t i = 0; i < Host.Answer.size(); ++i) {
                    Host.Pty.Write(Host.Answer[i]);
                    Sent += Host.Answer[i].size();
                    // Each piece is read before the next goes out, so each is
                    // a delivery of its own.
                    EXPECT_TRUE(ProcessEventsUntil(
                        [&] { return Dialog->FReplyBuffer.size() >= Sent || !AttemptWaits(); }));
                    if (i + 1 < Host.Answer.size() && !AttemptWaits()) {
                        ADD_FAILURE() << "recognised before the last piece " << i;
                        break;
                    }
                }
            }
            if (AttemptWaits()) Dialog->TimeoutTimerTimer();
        }
        return Attempts;
    }

    // The closing message box of the search.
    const TMessageBoxInfo& LastBox() {
        EXPECT_TRUE(ProcessEventsUntil([&] { return Boxes.size() >= 2; }));
        static const TMessageBoxInfo None;
        return Boxes.empty() ? None : Boxes.back();
    }

    void ExpectIdle() {
        EXPECT_FALSE(Searching());
        EXPECT_FALSE(Dialog->ComPort1->Active());
        EXPECT_FALSE(Dialog->TimeoutTimer->isActive());
        EXPECT_TRUE(Dialog->BitBtn3->isEnabled());
    }

    void ExpectFieldsKept() {
        EXPECT_EQ(Dialog->COMPortComboBox->currentText(), "COM9");
        EXPECT_EQ(Dialog->BaudRateComboBox->currentText(), "115200");
        EXPECT_EQ(Dialog->ParityComboBox->currentText(), "Even");
        EXPECT_EQ(Dialog->DatabitsComboBox->currentText(), "7");
        EXPECT_EQ(Dialog->StopBitsComboBox->currentText(), "2");
    }

    // Late ticks and messages of a search that ended (or of an earlier one).
    void SendLateEvents(unsigned Search) {
        Dialog->TimeoutTimerTimer();
        for (const auto& [Message, WParam] : {std::pair{WM_FINDNEXT, 0},
                                              {WM_HOSTFOUND, 0},
                                              {WM_FINDDONE, int{foNotFound}},
                                              {WM_FINDDONE, int{foCancelled}},
                                              {WM_FINDDONE, int{foNoAccess}}})
            QCoreApplication::postEvent(Dialog.get(), new TFindMessage(Message, WParam, Search));
        QCoreApplication::sendPostedEvents(Dialog.get());
        Dialog->TimeoutTimerTimer();
        QCoreApplication::sendPostedEvents(Dialog.get());
    }

    TNameValueList Settings;
    std::map<std::string, TFakeHost*> Hosts;
    std::vector<TMessageBoxInfo> Boxes;
    std::vector<std::string> Errors;
    QMessageBox::StandardButton ConfirmAnswer = QMessageBox::Yes;
    TMessageBoxAnswers Answers{[this](QWidget*, const TMessageBoxInfo& Box) {
        Boxes.push_back(Box);
        return Box.Icon == QMessageBox::Question ? ConfirmAnswer : QMessageBox::Ok;
    }};
    std::unique_ptr<TSettingsForm> Dialog;
    TComErrorReport PreviousErrors;
};

TEST_F(FindHostTest, AHostAnsweringOnlyAt38400IsFoundOnTheThirdAttempt) {
    TFakeHost Com1, Com4;
    Com1.Rates = {38400};
    Plug("COM1", Com1);
    Plug("COM4", Com4);
    TSettingsForm& D = OpenDialog();

    D.BitBtn3->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text,
              "This will attempt to find the host\ron all available serial ports at all\r"
              "available baud rates.\r\rContinue?");
    EXPECT_EQ(Boxes[0].Caption, "Confirm...");
    EXPECT_EQ(Boxes[0].Icon, QMessageBox::Question);
    EXPECT_EQ(Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Boxes[0].DefaultButton, QMessageBox::No);

    EXPECT_EQ(D.FCandidates,
              (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400", "COM1|57600",
                                        "COM4|9600", "COM4|19200", "COM4|38400", "COM4|57600"}));
    ASSERT_TRUE(Searching());
    EXPECT_TRUE(D.FindPortForm->isVisible());
    EXPECT_EQ(D.FindPortForm->ProgressBar1->maximum(), 8);
    EXPECT_EQ(D.FindPortForm->ProgressBar1->value(), 0);
    EXPECT_EQ(D.FindPortForm->Label1->text(), "");
    EXPECT_FALSE(D.BitBtn3->isEnabled());
    EXPECT_FALSE(D.ComPort1->Active());  // nothing opened before the first message

    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    EXPECT_EQ(D.FindPortForm->Label1->text(), "Trying COM1 at 9600 baud...");
    EXPECT_EQ(D.FindPortForm->ProgressBar1->value(), 1);
    EXPECT_EQ(D.FCandidates.size(), 7u);

    const std::vector<std::string> Attempts = Play();
    EXPECT_EQ(Attempts, (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400"}));
    const TMessageBoxInfo& Box = LastBox();
    EXPECT_EQ(Box.Text, "Found host on COM1");
    EXPECT_EQ(Box.Caption, "Success!");
    EXPECT_EQ(Box.Icon, QMessageBox::Information);
    EXPECT_EQ(Box.Buttons, QMessageBox::Ok);
    EXPECT_EQ(Boxes.size(), 2u);
    ExpectIdle();

    EXPECT_EQ(D.COMPortComboBox->currentText(), "COM1");
    EXPECT_EQ(D.BaudRateComboBox->currentText(), "38400");
    EXPECT_EQ(D.ParityComboBox->currentText(), "None");
    EXPECT_EQ(D.DatabitsComboBox->currentText(), "8");
    EXPECT_EQ(D.StopBitsComboBox->currentText(), "1");
    EXPECT_EQ(D.TracerModeComboBox->currentText(), "No Init");
    EXPECT_TRUE(D.PauseCheckbox->isChecked());
    EXPECT_EQ(D.FCandidates.size(), 5u);  // the untried ones stay
    EXPECT_EQ(Com4.Pty.ReadAvailable(), "");

    // Only the dialog's OK stores what was found.
    EXPECT_EQ(Settings.Text(), KeptSettings);
    D.BitBtn1->click();
    EXPECT_EQ(Settings.Text(),
              "Port=COM1\r\nBaudRate=38400\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
              "TracerMode=No Init\r\nPauseMode=Y\r\n");
}

TEST_F(FindHostTest, TheAnswerIsRecognisedAsItsPatternSays) {
    const struct {
        const char* Name;
        std::vector<std::string> Answer;
        bool Found;
    } Rows[] = {
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
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Boxes.clear();
        TFakeHost Com2;
        Com2.Rates = {9600};
        Com2.Answer = Row.Answer;
        Plug("COM2", Com2);
        TSettingsForm& D = OpenDialog();
        D.BitBtn3->click();
        const std::vector<std::string> Attempts = Play();
        const TMessageBoxInfo& Box = LastBox();
        ExpectIdle();
        if (Row.Found) {
            EXPECT_EQ(Attempts, std::vector<std::string>{"COM2|9600"});
            EXPECT_EQ(Box.Text, "Found host on COM2");
            EXPECT_EQ(D.COMPortComboBox->currentText(), "COM2");
            EXPECT_EQ(D.BaudRateComboBox->currentText(), "9600");
        } else {
            EXPECT_EQ(Attempts, (std::vector<std::string>{"COM2|9600", "COM2|19200", "COM2|38400",
                                                          "COM2|57600"}));
            EXPECT_EQ(Box.Text, "Did not find host");
            EXPECT_EQ(Box.Caption, "Host Not Found");
            EXPECT_EQ(Box.Icon, QMessageBox::Critical);
            ExpectFieldsKept();
        }
        Dialog.reset();
    }
}

TEST_F(FindHostTest, NoUsablePortEndsWithDidNotFindHost) {
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    EXPECT_TRUE(D.FCandidates.empty());
    ASSERT_TRUE(Searching());
    EXPECT_EQ(D.FindPortForm->ProgressBar1->maximum(), 0);
    const TMessageBoxInfo& Box = LastBox();
    EXPECT_EQ(Box.Text, "Did not find host");
    EXPECT_EQ(Box.Caption, "Host Not Found");
    EXPECT_EQ(Box.Icon, QMessageBox::Critical);
    ExpectIdle();
    ExpectFieldsKept();
}

TEST_F(FindHostTest, APortTakenBetweenProbeAndAttemptCannotBeAccessed) {
    TFakeHost Com1, Com4;
    Plug("COM1", Com1);
    Plug("COM4", Com4);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_EQ(D.FCandidates.size(), 8u);
    TComPort Holder;  // another program takes COM4 after the probe
    Holder.SetPort("COM4");
    Holder.SetActive(true);

    EXPECT_EQ(Play(),
              (std::vector<std::string>{"COM1|9600", "COM1|19200", "COM1|38400", "COM1|57600"}));
    const TMessageBoxInfo& Box = LastBox();
    EXPECT_EQ(Box.Text, "Unable to access COM4");
    EXPECT_EQ(Box.Caption, "Problem...");
    EXPECT_EQ(Box.Icon, QMessageBox::Critical);
    ExpectIdle();
    ExpectFieldsKept();
    EXPECT_TRUE(D.FCandidates.empty());
    EXPECT_EQ(Com4.Pty.ReadAvailable(), "");  // nothing was sent there
}

TEST_F(FindHostTest, CancelWhileAnAttemptWaitsClosesThePortAndKeepsTheFields) {
    TFakeHost Com3;
    Com3.Rates = {19200};
    Plug("COM3", Com3);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    ASSERT_TRUE(D.ComPort1->Active());
    D.FindPortForm->Button1->click();
    const TMessageBoxInfo& Box = LastBox();
    EXPECT_EQ(Box.Text, "Cancelled finding the host");
    EXPECT_EQ(Box.Caption, "Cancelled");
    EXPECT_EQ(Box.Icon, QMessageBox::Information);
    ExpectIdle();
    ExpectFieldsKept();
    EXPECT_TRUE(D.FCandidates.empty());
    EXPECT_EQ(Settings.Text(), KeptSettings);
}

TEST_F(FindHostTest, TheProgressWindowsCloseButtonCancelsTheSearch) {
    TFakeHost Com3;
    Plug("COM3", Com3);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    D.FindPortForm->close();
    EXPECT_EQ(LastBox().Text, "Cancelled finding the host");
    ExpectIdle();
}

TEST_F(FindHostTest, LateTicksAndMessagesAfterTheEndChangeNothing) {
    const struct {
        const char* Name;
        std::set<int> Rates;
        bool Cancel;
        std::size_t Untried;
    } Rows[] = {
        {"after found", {9600}, false, 7},
        {"after cancel", {}, true, 0},
        {"after not found", {}, false, 0},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Boxes.clear();
        TFakeHost Com1, Com2;
        Com1.Rates = Row.Rates;
        Plug("COM1", Com1);
        Plug("COM2", Com2);
        TSettingsForm& D = OpenDialog();
        D.BitBtn3->click();
        ASSERT_TRUE(Searching());
        const unsigned Search = D.FindPortForm->Search();
        if (Row.Cancel) {
            ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
            EXPECT_EQ(Com1.Pty.Read(21), FindHostRequest());
            D.FindPortForm->Button1->click();
        } else {
            Play();
        }
        LastBox();
        const QString Port = D.COMPortComboBox->currentText();
        const QString Baud = D.BaudRateComboBox->currentText();
        const std::size_t BoxCount = Boxes.size();

        SendLateEvents(Search);
        EXPECT_EQ(Boxes.size(), BoxCount);
        ExpectIdle();
        EXPECT_EQ(D.FCandidates.size(), Row.Untried);
        EXPECT_EQ(D.COMPortComboBox->currentText(), Port);
        EXPECT_EQ(D.BaudRateComboBox->currentText(), Baud);
        EXPECT_EQ(Com1.Pty.ReadAvailable(), "");  // no late attempt
        EXPECT_EQ(Com2.Pty.ReadAvailable(), "");
        Dialog.reset();
    }
}

// A timeout decided just before the answer is read: the attempt that drew
// the answer is the one reported, and no further attempt starts.
TEST_F(FindHostTest, AnAnswerReadAfterTheTimeoutReportsThePortThatAnswered) {
    TFakeHost Com1;
    Com1.Rates = {9600};
    Plug("COM1", Com1);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    ASSERT_EQ(Com1.Pty.Read(21), FindHostRequest());
    const std::string Answer =
        "\x1c"
        "ANS=INI\r";
    Com1.Pty.Write(Answer);
    // The bytes reach the port without the event loop running, so neither
    // the timer's message nor the delivery has been handled yet.
    const auto Deadline = std::chrono::steady_clock::now() + 5s;
    while (D.ComPort1->InputCount() < static_cast<std::int32_t>(Answer.size()) &&
           std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(1ms);

    D.TimeoutTimerTimer();  // WM_FINDNEXT posted first
    D.ComPort1RxChar(D.ComPort1->InputCount());
    EXPECT_EQ(D.FReplyBuffer, Answer);
    EXPECT_EQ(LastBox().Text, "Found host on COM1");
    EXPECT_EQ(D.BaudRateComboBox->currentText(), "9600");
    QCoreApplication::sendPostedEvents(&D);
    ExpectIdle();
    EXPECT_EQ(Com1.Pty.ReadAvailable(), "");  // the next candidate was never tried
    EXPECT_EQ(D.FCandidates.size(), 3u);
}

TEST_F(FindHostTest, OneSearchAtATimeAndAStaleMessageDoesNotEndTheNext) {
    TFakeHost Com5;
    Com5.Rates = {57600};
    Plug("COM5", Com5);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    const unsigned First = D.FindPortForm->Search();
    EXPECT_FALSE(D.BitBtn3->isEnabled());
    D.BitBtn3Click();  // pressed again all the same: no second search
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(D.FindPortForm->Search(), First);
    Play();
    EXPECT_EQ(LastBox().Text, "Found host on COM5");

    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    EXPECT_NE(D.FindPortForm->Search(), First);
    QCoreApplication::postEvent(&D, new TFindMessage(WM_FINDDONE, foCancelled, First));
    QCoreApplication::sendPostedEvents(&D);
    EXPECT_TRUE(Searching());
    EXPECT_TRUE(AttemptWaits());
    EXPECT_EQ(Boxes.size(), 3u);
    Play();
    EXPECT_EQ(LastBox().Text, "Found host on COM5");
}

TEST_F(FindHostTest, AnswerNoToTheConfirmationStartsNothing) {
    TFakeHost Com1;
    Plug("COM1", Com1);
    ConfirmAnswer = QMessageBox::No;
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    EXPECT_EQ(Boxes.size(), 1u);
    ExpectIdle();
    EXPECT_TRUE(D.FCandidates.empty());
    QCoreApplication::sendPostedEvents(&D);
    EXPECT_EQ(Com1.Pty.ReadAvailable(), "");
}

TEST_F(FindHostTest, ClosingTheDialogDuringASearchEndsItSilently) {
    const struct {
        const char* Name;
        void (*Close)(TSettingsForm&);
    } Ways[] = {
        {"Cancel", [](TSettingsForm& D) { D.BitBtn2->click(); }},
        {"OK", [](TSettingsForm& D) { D.BitBtn1->click(); }},
        {"title bar", [](TSettingsForm& D) { D.close(); }},
    };
    for (const auto& Way : Ways) {
        SCOPED_TRACE(Way.Name);
        Boxes.clear();
        TFakeHost Com1;
        Com1.Rates = {9600};
        Plug("COM1", Com1);
        TSettingsForm& D = OpenDialog();
        D.show();
        D.BitBtn3->click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
        const unsigned Search = D.FindPortForm->Search();
        Com1.Pty.Write("ANS=INI");  // an answer on its way as the dialog closes
        Way.Close(D);
        ExpectIdle();
        EXPECT_TRUE(D.FCandidates.empty());
        SendLateEvents(Search);
        QCoreApplication::processEvents();
        EXPECT_EQ(Boxes.size(), 1u);  // only the confirmation
        Dialog.reset();
    }
}

TEST_F(FindHostTest, DestroyingTheDialogDuringAnAttemptIsClean) {
    TFakeHost Com1;
    Com1.Rates = {9600};
    Plug("COM1", Com1);
    TSettingsForm& D = OpenDialog();
    D.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return AttemptWaits(); }));
    Com1.Pty.Write("ANS=");
    Dialog.reset();  // as the main window frees the dialog
    QCoreApplication::processEvents();
    EXPECT_EQ(Boxes.size(), 1u);
}

}  // namespace
