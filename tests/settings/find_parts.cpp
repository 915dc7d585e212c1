// The host search's pure parts: candidates, the request, the answer pattern,
// and the progress window on its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <map>
#include <vector>

#include "oma/OMAMach.h"
#include "serial/Comms.h"
#include "settings/FindPort.h"
#include "tests/settings/SettingsFixture.h"

namespace {

TEST(FindHostRequest, IsTheFixedTwentyOneBytePacket) {
    const std::string Expected = std::string("\x1cREQ=INI\r\x1e") + "CRC=13402\r\x1d";
    EXPECT_EQ(FindHostRequest(), Expected);
    EXPECT_EQ(FindHostRequest().size(), 21u);
    EXPECT_EQ(OmaCRC16(std::string("REQ=INI\r\x1e")), 13402);
}

TEST(IsHostAnswer, RecognisesOnlyUpperCaseWithWhiteSpaceBetweenTokens) {
    const struct {
        std::string Reply;
        bool Answer;
    } Rows[] = {
        {"ANS=INI", true},
        {"\x06\x1c"
         "ANS=INI\r\x1e"
         "CRC=1234\r\x1d",
         true},
        {"xxANS=INIxx", true},
        {"ANS \t=\t INI", true},
        {"ANS\r\n=\r\nINI", true},
        {"ANS\f=\fINI", true},
        {"ANS\n\n\n=INI", true},
        {"ans=ini", false},
        {"Ans=Ini", false},
        {"ANS=ini", false},
        {"ANS:INI", false},
        {"ANS=-INI", false},
        {"ANS.=INI", false},
        {"ANS\v=INI", false},  // vertical tab is not white space here
        {"ANS==INI", false},
        {"ANS=IN", false},
        {"NS=INI", false},
        {"", false},
        {std::string("ANS=\0INI", 8), false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(testing::PrintToString(Row.Reply));
        EXPECT_EQ(IsHostAnswer(Row.Reply), Row.Answer);
    }
}

TEST(IsHostAnswer, EveryPrefixOfAnAnswerBeforeItsLastByteIsNoAnswer) {
    const std::string Reply =
        "\x1c"
        "ANS \r\n= INI\r\x1e"
        "CRC=1\r\x1d";
    const std::size_t End = Reply.find("INI") + 3;
    for (std::size_t n = 0; n <= Reply.size(); ++n)
        EXPECT_EQ(IsHostAnswer(Reply.substr(0, n)), n >= End) << n;
}

TEST(SplitCandidate, TakesPortBeforeTheBarAndUpToNineDigitsAfterIt) {
    const struct {
        std::string Candidate;
        std::string Port;
        std::int32_t BaudRate;
    } Rows[] = {
        {"COM3|19200", "COM3", 19200},
        {"ttyUSB0|57600", "ttyUSB0", 57600},
        {"/dev/pts/7|9600", "/dev/pts/7", 9600},
        {"COM1|123456789", "COM1", 123456789},
        {"COM1|1234567890", "COM1", 123456789},  // the tenth digit is not read
        {"COM1|", "COM1", 0},
        {"COM1|abc", "COM1", 0},
        {"COM1", "COM1", 0},
        {"A|B|9600", "A", 0},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Candidate);
        const TCandidate C = SplitCandidate(Row.Candidate);
        EXPECT_EQ(C.Port, Row.Port);
        EXPECT_EQ(C.BaudRate, Row.BaudRate);
    }
}

TEST(BuildCandidates, FourRatesPerUsablePortComFirstThenUsb) {
    EnsureApplication();
    TComNameMap Names(NoComPorts());
    TPtyHost Com2, Com40, Usb;
    Names.Add("COM2", Com2.SlavePath());
    Names.Add("COM40", Com40.SlavePath());
    Names.Add("ttyUSB3", Usb.SlavePath());
    Names.Add("ttyACM0", "/nonexistent/acm0");
    const TUsbSerialDevices Devices({"ttyACM0", "ttyUSB3"});

    TComPort Port;
    EXPECT_EQ(BuildCandidates(Port),
              (std::vector<std::string>{"COM2|9600", "COM2|19200", "COM2|38400", "COM2|57600",
                                        "COM40|9600", "COM40|19200", "COM40|38400", "COM40|57600",
                                        "ttyUSB3|9600", "ttyUSB3|19200", "ttyUSB3|38400",
                                        "ttyUSB3|57600"}));
    EXPECT_FALSE(Port.Active());
}

// Collects the search messages the progress window posts to its owner.
class TMessageSink : public QWidget {
public:
    std::vector<std::pair<int, unsigned>> Done;  // outcome, search

protected:
    bool event(QEvent* Event) override {
        if (const auto* M = dynamic_cast<const TFindMessage*>(Event)) {
            EXPECT_EQ(M->type(), WM_FINDDONE);
            Done.emplace_back(M->WParam(), M->Search());
            return true;
        }
        return QWidget::event(Event);
    }
};

TEST(TFindPortForm, ControlsCaptionsAndPlacement) {
    EnsureApplication();
    TMessageSink Owner;
    TFindPortForm Form(&Owner, 1);
    EXPECT_EQ(Form.windowTitle(), "Find Host");
    EXPECT_EQ(Form.objectName(), "FindPortForm");
    EXPECT_EQ(Form.size(), QSize(428, 134));
    EXPECT_EQ(Form.minimumSize(), Form.maximumSize());
    EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Form.parentWidget(), &Owner);
    EXPECT_FALSE(Form.isModal());
    EXPECT_EQ(Form.font().family(), "MS Sans Serif");
    EXPECT_EQ(Form.font().pixelSize(), 11);
    EXPECT_EQ(Form.Label1->geometry(), QRect(16, 16, 393, 33));
    EXPECT_TRUE(Form.Label1->wordWrap());
    EXPECT_TRUE(Form.Label1->font().bold());
    EXPECT_EQ(Form.Label1->font().family(), "Arial");
    EXPECT_EQ(Form.Label1->font().pixelSize(), 13);
    EXPECT_EQ(Form.Label1->text(), "");
    EXPECT_EQ(Form.ProgressBar1->geometry(), QRect(16, 64, 401, 17));
    EXPECT_EQ(Form.Button1->geometry(), QRect(176, 96, 75, 25));
    EXPECT_EQ(Form.Button1->text(), "Cancel");
}

// Cancel, the title bar's close button and Escape all ask the owner to end
// the search; none of them hides the window while the search goes on.
TEST(TFindPortForm, EveryWayOfClosingPostsCancelToTheOwner) {
    EnsureApplication();
    const struct {
        const char* Name;
        void (*Close)(TFindPortForm&);
    } Ways[] = {
        {"Cancel button", [](TFindPortForm& F) { F.Button1->click(); }},
        {"title bar close", [](TFindPortForm& F) { F.close(); }},
        {"Escape", [](TFindPortForm& F) { F.reject(); }},
    };
    for (const auto& Way : Ways) {
        SCOPED_TRACE(Way.Name);
        TMessageSink Owner;
        TFindPortForm Form(&Owner, 7);
        Form.show();
        Way.Close(Form);
        QCoreApplication::sendPostedEvents(&Owner);
        ASSERT_EQ(Owner.Done.size(), 1u);
        EXPECT_EQ(Owner.Done[0], std::make_pair(int{foCancelled}, 7u));
        EXPECT_TRUE(Form.isVisible());
    }
}

TEST(ShowMessageBox, GoesThroughTheHookUntilItIsRestored) {
    EnsureApplication();
    std::vector<TMessageBoxInfo> Seen;
    const TMessageBoxAnswers Answers([&](QWidget*, const TMessageBoxInfo& Box) {
        Seen.push_back(Box);
        return QMessageBox::No;
    });
    EXPECT_EQ(ShowMessageBox(nullptr, {"a\rb", "Cap", QMessageBox::Question,
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No}),
              QMessageBox::No);
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen[0].Text, "a\rb");
    EXPECT_EQ(Seen[0].Caption, "Cap");
}

}  // namespace
