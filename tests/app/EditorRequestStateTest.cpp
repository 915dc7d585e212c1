// What the editor shows and allows while a request runs and after it fails,
// the tray numbers the line cannot carry, and the status bar's tooltip.
#include <QAction>
#include <QDir>
#include <QToolButton>

#include "ConversationFixture.h"

namespace {

class TRequestStateTest : public TConversationFixture {
protected:
    // A preset gives a working shape that can be edited, rotated and stored.
    void LoadShape() {
        FForm->Circle1->trigger();
        Settle();
        ASSERT_FALSE(Working().Radii.empty());
        ASSERT_TRUE(FForm->SaveButton->isEnabled());
        ASSERT_TRUE(FForm->DBLEdit->isEnabled());
    }

    // With no shape nothing can be edited, rotated or stored, and the values
    // and changes show empty.
    void ExpectNothingToEdit() {
        EXPECT_TRUE(Working().Radii.empty());
        for (TValueEdit* edit : {FForm->BoxAEdit, FForm->BoxBEdit, FForm->CircEdit, FForm->DBLEdit}) {
            EXPECT_FALSE(edit->isEnabled()) << edit->objectName().toStdString();
            EXPECT_EQ(edit->Text(), "") << edit->objectName().toStdString();
        }
        for (QLabel* label :
             {FForm->ChgALabel, FForm->ChgBLabel, FForm->ChgCLabel, FForm->DBLChgLabel})
            EXPECT_EQ(label->text(), "---");
        EXPECT_FALSE(FForm->LockBCheckbox->isEnabled());
        EXPECT_FALSE(FForm->RotLeftButton->isEnabled());
        EXPECT_FALSE(FForm->RotRightButton->isEnabled());
        EXPECT_FALSE(FForm->SaveButton->isEnabled());
    }

    void RequestTray(const QString& tray) {
        FForm->TrayEdit->setText(tray);
        FForm->ReqButton->click();
    }

    void TimeOut() {
        for (int tick = 0; tick < 20 && FForm->Talking(); ++tick) FForm->TimeoutTimerTimer();
        Settle();
        ASSERT_FALSE(FForm->Talking());
    }
};

TEST_F(TRequestStateTest, RequestShapeEmptiesTheValuesAndDisablesEditing) {
    LoadShape();
    RequestTray(QStringLiteral("1234"));
    ASSERT_EQ(ProgramSends(), PacketFile("init"));
    ASSERT_TRUE(FForm->Talking());
    ExpectNothingToEdit();
}

// The host never answers: the request ends by its timeout with no shape, and
// nothing can be edited into a shape that Save Shape would then send.
TEST_F(TRequestStateTest, AFailedRequestLeavesNothingToEditOrStore) {
    LoadShape();
    RequestTray(QStringLiteral("1234"));
    ASSERT_NE(ProgramSends(), "");
    TimeOut();
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    ExpectNothingToEdit();
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

// A host that says the job does not exist ends the request quietly.
TEST_F(TRequestStateTest, ARequestForAMissingJobLeavesNothingToEdit) {
    LoadShape();
    RequestUpToJob("1234", "1", "400");
    AnswerLast(Ack + ReplyFile("job-status3"));
    EXPECT_EQ(Panel(0), "Job not found/not available");
    ExpectNothingToEdit();
}

// The line carries single bytes: a tray number holding anything else is
// refused with a message, not sent with "?" in its place.
TEST_F(TRequestStateTest, ATrayNumberBeyondLatin1IsRefusedAndNothingIsSent) {
    for (const QString& tray :
         {QStringLiteral("12\u20AC4"), QStringLiteral("\u0141\u00F3d\u017A"), QStringLiteral("\u6A21")}) {
        SCOPED_TRACE(tray.toStdString());
        RequestTray(tray);
        Settle();
        EXPECT_EQ(Panel(0), "Tray number may only contain Latin-1 characters");
        EXPECT_FALSE(FForm->Talking());
        EXPECT_EQ(FHost.ReadAvailable(), "");
    }
    // Latin-1 letters go out as their single bytes.
    const std::string request = RequestUpToJob("caf\xe9", "1", "400");
    EXPECT_NE(request.find("JOB=\"caf\xe9\""), std::string::npos) << request;
}

// Panel 0 cuts long messages, so its whole text is the bar's tooltip, also
// while the countdown in panel 1 changes and after the conversation ended.
TEST_F(TRequestStateTest, TheTooltipAlwaysHoldsPanelZero) {
    RequestTray(QStringLiteral("1234"));
    ASSERT_NE(ProgramSends(), "");
    EXPECT_EQ(Hint(), Panel(0));
    for (int tick = 0; tick < 10; ++tick) FForm->TimeoutTimerTimer();
    ASSERT_FALSE(Panel(1).isEmpty());
    EXPECT_EQ(Hint(), Panel(0));
    TimeOut();
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_EQ(Hint(), "Timeout waiting for host");

    const std::string longMessage(300, 'x');
    FForm->ShowStatus(longMessage, 0);
    FForm->ShowStatus("7", 1);
    EXPECT_EQ(Hint().toStdString(), longMessage);
}

}  // namespace
