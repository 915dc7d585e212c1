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
    const std::string expected = std::string("\x1cREQ=INI\r\x1e") + "CRC=13402\r\x1d";
    EXPECT_EQ(FindHostRequest(), expected);
    EXPECT_EQ(FindHostRequest().size(), 21u);
    EXPECT_EQ(OmaCRC16(std::string("REQ=INI\r\x1e")), 13402);
}

TEST(IsHostAnswer, RecognisesOnlyUpperCaseWithWhiteSpaceBetweenTokens) {
    const struct {
        std::string Reply;
        bool Answer;
    } rows[] = {
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
    for (const auto& tRow : rows) {
        SCOPED_TRACE(testing::PrintToString(tRow.Reply));
        EXPECT_EQ(IsHostAnswer(tRow.Reply), tRow.Answer);
    }
}

TEST(IsHostAnswer, EveryPrefixOfAnAnswerBeforeItsLastByteIsNoAnswer) {
    const std::string reply =
        "\x1c"
        "ANS \r\n= INI\r\x1e"
        "CRC=1\r\x1d";
    const std::size_t end = reply.find("INI") + 3;
    for (std::size_t n = 0; n <= reply.size(); ++n)
        EXPECT_EQ(IsHostAnswer(reply.substr(0, n)), n >= end) << n;
}

TEST(SplitCandidate, TakesPortBeforeTheBarAndUpToNineDigitsAfterIt) {
    const struct {
        std::string Candidate;
        std::string Port;
        std::int32_t BaudRate;
    } rows[] = {
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
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Candidate);
        const TCandidate c = SplitCandidate(tRow.Candidate);
        EXPECT_EQ(c.Port, tRow.Port);
        EXPECT_EQ(c.BaudRate, tRow.BaudRate);
    }
}

class TBuildCandidates : public ::testing::Test, protected TPortWorld {};

TEST_F(TBuildCandidates, FourRatesPerUsablePortComFirstThenUsb) {
    TPtyHost com2, com40, usb;
    FNames.Add("COM2", com2.SlavePath());
    FNames.Add("COM40", com40.SlavePath());
    FNames.Add("ttyUSB3", usb.SlavePath());
    FNames.Add("ttyACM0", "/nonexistent/acm0");
    FUsbDevices = {"ttyACM0", "ttyUSB3"};

    TComPort port(WithQtOwner(FNames.PortHooks()));
    EXPECT_EQ(BuildCandidates(port, Hooks()),
              (std::vector<std::string>{"COM2|9600", "COM2|19200", "COM2|38400", "COM2|57600",
                                        "COM40|9600", "COM40|19200", "COM40|38400", "COM40|57600",
                                        "ttyUSB3|9600", "ttyUSB3|19200", "ttyUSB3|38400",
                                        "ttyUSB3|57600"}));
    EXPECT_FALSE(port.Active());
}

// Collects the search messages the progress window posts to its owner.
class TMessageSink : public QWidget {
public:
    std::vector<std::pair<int, unsigned>> Done;  // outcome, search

protected:
    bool event(QEvent* event) override {
        if (const auto* m = dynamic_cast<const TFindMessage*>(event)) {
            EXPECT_EQ(m->type(), WM_FINDDONE);
            Done.emplace_back(m->WParam(), m->Search());
            return true;
        }
        return QWidget::event(event);
    }
};

TEST(TFindPortForm, ControlsCaptionsAndPlacement) {
    EnsureApplication();
    TMessageSink owner;
    TFindPortForm form(&owner, 1);
    EXPECT_EQ(form.windowTitle(), "Find Host");
    EXPECT_EQ(form.objectName(), "FindPortForm");
    EXPECT_EQ(form.size(), QSize(428, 134));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.parentWidget(), &owner);
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.Label1->geometry(), QRect(16, 16, 393, 33));
    EXPECT_TRUE(form.Label1->wordWrap());
    EXPECT_TRUE(form.Label1->font().bold());
    EXPECT_EQ(form.Label1->font().family(), "Arial");
    EXPECT_EQ(form.Label1->font().pixelSize(), 13);
    EXPECT_EQ(form.Label1->text(), "");
    EXPECT_EQ(form.ProgressBar1->geometry(), QRect(16, 64, 401, 17));
    EXPECT_EQ(form.Button1->geometry(), QRect(176, 96, 75, 25));
    EXPECT_EQ(form.Button1->text(), "Cancel");
}

// Cancel, the title bar's close button and Escape all ask the owner to end
// the search; none of them hides the window while the search goes on.
TEST(TFindPortForm, EveryWayOfClosingPostsCancelToTheOwner) {
    EnsureApplication();
    const struct {
        const char* Name;
        void (*Close)(TFindPortForm&);
    } ways[] = {
        {"Cancel button", [](TFindPortForm& f) { f.Button1->click(); }},
        {"title bar close", [](TFindPortForm& f) { f.close(); }},
        {"Escape", [](TFindPortForm& f) { f.reject(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Name);
        TMessageSink owner;
        TFindPortForm form(&owner, 7);
        form.show();
        way.Close(form);
        QCoreApplication::sendPostedEvents(&owner);
        ASSERT_EQ(owner.Done.size(), 1u);
        EXPECT_EQ(owner.Done[0], std::make_pair(int{foCancelled}, 7u));
        EXPECT_TRUE(form.isVisible());
    }
}

TEST(ShowMessageBox, GoesThroughTheHooksMessageBox) {
    EnsureApplication();
    std::vector<TMessageBoxInfo> seen;
    THooks hooks;
    hooks.MessageBox = [&](QWidget*, const TMessageBoxInfo& box) {
        seen.push_back(box);
        return QMessageBox::No;
    };
    EXPECT_EQ(hooks.ShowMessageBox(nullptr, {"a\rb", "Cap", QMessageBox::Question,
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No}),
              QMessageBox::No);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, "a\rb");
    EXPECT_EQ(seen[0].Caption, "Cap");
}

}  // namespace
