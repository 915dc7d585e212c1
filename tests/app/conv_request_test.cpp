// The request conversation's job step: the host's job data read into the
// received shape and the job's records, and every way it can end.
#include "conv_Fixture.h"

namespace {

class RequestTest : public ConversationFixture {
protected:
    // Request Shape for tray 1234 up to the job request (DEF 7, Format;Count),
    // then the job data Body; returns once the conversation has ended.
    void RequestWithJob(const std::string& Body, const std::string& Format = "1",
                        const std::string& Count = "400") {
        ASSERT_FALSE(RequestUpToJob("1234", Format, Count).empty());
        AnswerLast(Ack + BuildPacket(Body));
    }

    static std::string Head() { return "ANS=7\rSTATUS=0\rJOB=\"1234\"\r"; }
};

TEST_F(RequestTest, FormatOneJobWithTwoEyesTakesTheFirstFourHundredPoints) {
    const std::string Right = EllipseRadii(400);
    const std::string Left = EllipseRadii(400, 24, 20);
    const std::string Body = Head() + "DBL=18.50\rFTYP=1\rETYP=2\rTRCFMT=1;400;E;R;F\r" +
                             EncodeTraceFmt1(Right) + "TRCFMT=1;400;E;L;F\r" +
                             EncodeTraceFmt1(Left) + "Z=1;2;3\r";
    RequestWithJob(Body);
    EXPECT_EQ(Taken, Ack);
    EXPECT_EQ(Received().Radii, Right);
    EXPECT_EQ(Received().DBL, 18.5);
    TTraceInfo Expected{Right};
    MeasureTrace(Expected);
    EXPECT_EQ(Received().HBox, Expected.HBox);
    EXPECT_EQ(Received().VBox, Expected.VBox);
    EXPECT_EQ(Received().Circ, Expected.Circ);
    EXPECT_EQ(Working().Radii, Right);
    EXPECT_EQ(Panel(0), "");
    EXPECT_TRUE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    EXPECT_TRUE(Viewed.empty());
    EXPECT_EQ(Form->DBLEdit->Text(), TValueEdit::FormatValue(18.5));
    EXPECT_EQ(Form->BoxAEdit->Text(), TValueEdit::FormatValue(Expected.HBox));
    const std::string Packet = BuildPacket(Body);
    const std::string Crc =
        Packet.substr(Packet.rfind("CRC="), Packet.rfind('\r') - Packet.rfind("CRC="));
    // A repeated label keeps its last value, in the place of its first.
    EXPECT_EQ(Records().Strings(),
              (std::vector<std::string>{"ANS=7", "STATUS=0", "JOB=\"1234\"", "DBL=18.50", "FTYP=1",
                                        "ETYP=2", "TRCFMT=1;400;E;L;F", Crc}));
}

// Table of job data and what becomes of it.
TEST_F(RequestTest, JobDataOutcomes) {
    const std::string R400 = EllipseRadii(400);
    std::string Short = EncodeTraceFmt1(R400);
    Short.replace(Short.find("R=") + 2, 4, "123");  // one radius written with three digits
    const struct {
        const char* Name;
        std::string Body, Format, Count;
        std::string Message;  // empty: received
        int Points;
        double DBL;
    } Rows[] = {
        {"format 1 without DBL", Head() + "TRCFMT=1;400;E;R;F\r" + EncodeTraceFmt1(R400), "1",
         "400", "", 400, 0},
        {"format 2 without DBL", Head() + "TRCFMT=2;400;E;R;F\rR=" + EncodeTraceFmt2(R400) + "\r",
         "2", "400", "", 400, -99.9},
        {"format 3 with DBL",
         Head() + "DBL = 17.25 \rTRCFMT=3;400;E;R;F\rR=" + EncodeTraceFmt3(R400) + "\r", "3", "400",
         "", 400, 17.25},
        {"format 4, the job's TRCFMT wins",
         Head() + "TRCFMT=4;500;E;R;F\rR=" + EncodeTraceFmt4(EllipseRadii(500)) + "\r", "1", "400",
         "", 500, -99.9},
        {"three-digit radius", Head() + "TRCFMT=1;400;E;R;F\r" + Short, "1", "400",
         "Trace contains 399 points, but number of points is 400", 0, 0},
        {"too few points", Head() + "TRCFMT=1;400;E;R;F\r" + EncodeTraceFmt1(R400.substr(40)), "1",
         "400", "Trace contains 390 points, but number of points is 400", 0, 0},
        {"no TRCFMT, no R", Head() + "HBOX=1\r", "1", "400", "Cannot find trace data", 0, 0},
        {"no TRCFMT, an R line", Head() + EncodeTraceFmt1(R400), "1", "400",
         "Trace type  is unsupported", 0, 0},
        {"format 4 beyond the codec", Head() + "TRCFMT=4;5000;E;R;F\rR=00\r", "1", "400", "*", 0,
         0},
        {"agreed count kept without TRCFMT", Head() + "TRCFMT=x\r" + EncodeTraceFmt1(R400), "1",
         "0400", "Trace type  is unsupported", 0, 0},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Viewed.clear();
        Form->ReqButton->setEnabled(true);
        RequestWithJob(Row.Body, Row.Format, Row.Count);
        EXPECT_EQ(Taken, Ack);
        if (Row.Message.empty()) {
            EXPECT_EQ(RadiusCount(Received().Radii), Row.Points);
            EXPECT_DOUBLE_EQ(Received().DBL, Row.DBL);
            EXPECT_EQ(Panel(0), "");
            EXPECT_TRUE(Viewed.empty());
            EXPECT_TRUE(Form->SaveButton->isEnabled());
        } else {
            if (Row.Message != "*") {
                EXPECT_EQ(Panel(0), QString::fromStdString(Row.Message));
            }
            EXPECT_FALSE(Panel(0).isEmpty());
            EXPECT_EQ(Viewed.size(), 1u);
            EXPECT_TRUE(Received().Radii.empty());
            EXPECT_FALSE(Form->SaveButton->isEnabled());
        }
    }
}

TEST_F(RequestTest, StatusReadings) {
    const struct {
        std::string Body;
        std::string Message;
    } Rows[] = {
        {"ANS=7\rSTATUS=1;\"No such tray\"\r", "No such tray"},
        {"ANS=7\rSTATUS=1\r", "Job not found/not available"},
        {"ANS=7\rJOB=\"1234\"\r", "Job not found/not available"},
        {"ANS=7\rSTATUS=2 ; Locked by edger 3.\r", "Locked by edger 3"},
        {"ANS=7\rSTATUS=0\nSTATUS=5;Gone\n", "Gone"},  // the LF's record wins
    };
    HoldShape(EllipseRadii(400));
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Body);
        Form->ReqButton->setEnabled(true);
        RequestWithJob(Row.Body);
        EXPECT_EQ(Taken, Ack);
        EXPECT_EQ(Panel(0), QString::fromStdString(Row.Message));
        EXPECT_EQ(Hint(), QString::fromStdString(Row.Message));
        EXPECT_TRUE(Viewed.empty());  // a missing job does not open the log
        EXPECT_TRUE(Received().Radii.empty());
        EXPECT_TRUE(Working().Radii.empty());
        EXPECT_FALSE(Form->SaveButton->isEnabled());
        EXPECT_TRUE(Form->ReqButton->isEnabled());
    }
}

TEST_F(RequestTest, UnreadableReplyGoesToTheClipboard) {
    const struct {
        std::string Body;
    } Rows[] = {
        {"ANS=8\rSTATUS=0\r"},            // another DEF
        {"ANS=77\rSTATUS=0\r"},           // the DEF followed by a digit
        {"ANS=7\rSTATUS=x\r"},            // a STATUS that is no number
        {"ANS=7\rFOO=1\nSTATUS=\"\"\r"},  // the same after a LF
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Body);
        QGuiApplication::clipboard()->clear();
        Viewed.clear();
        Form->ReqButton->setEnabled(true);
        RequestWithJob(Row.Body);
        EXPECT_EQ(Taken, Ack);  // acknowledged before any check
        EXPECT_EQ(Panel(0), "Did not understand response from host");
        EXPECT_EQ(Viewed.size(), 1u);
        const std::string Reply = BuildPacket(Row.Body);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toLatin1().toStdString(), Reply);
    }
}

TEST_F(RequestTest, RecordsAreCollectedByTheirPattern) {
    const std::string R = EllipseRadii(400);
    RequestWithJob(Head() + "FOO=X=1\rFTYP=1\rNAME=two words\rETYP=2\rftyp=3\rEMPTY=\r" +
                   "TRCFMT=2;400;E;R;F\rR=" + EncodeTraceFmt2(R) + "\r");
    ASSERT_EQ(Panel(0), "");
    EXPECT_EQ(Records().Value("FOO"), "X=1");
    EXPECT_EQ(Records().Value("FTYP"), "3");  // labels ignore case; replaced in place
    EXPECT_EQ(Records().IndexOfName("NAME"), -1);
    EXPECT_EQ(Records().IndexOfName("EMPTY"), -1);
    EXPECT_EQ(Records().IndexOfName("R"), -1);
    EXPECT_LT(Records().IndexOfName("FTYP"), Records().IndexOfName("ETYP"));
    // A binary trace holds "=" and spaces; none of it may pass for a record.
    for (const std::string& Line : Records().Strings())
        for (char C : Line) EXPECT_GE(static_cast<unsigned char>(C), 0x20) << Line;
    EXPECT_EQ(Records().Count(), 8u);  // ANS STATUS JOB FOO FTYP ETYP TRCFMT CRC
}

TEST_F(RequestTest, BinaryTraceWithEqualsAndSpacesAddsNoRecords) {
    // Format 2 writes each radius low byte first: 0x2020 is two spaces, and the
    // last two radii end the line in "A =!", which reads like the record A=!.
    std::string R;
    for (int i = 0; i < 398; ++i) AppendRadiusGroup(R, 0x2020);
    AppendRadiusGroup(R, 0x2041);
    AppendRadiusGroup(R, 0x213D);
    const std::string Payload = EncodeTraceFmt2(R);
    ASSERT_NE(Payload.find('='), std::string::npos);
    ASSERT_NE(Payload.find(' '), std::string::npos);
    RequestWithJob(Head() + "TRCFMT=2;400;E;R;F\rR=" + Payload + "\r", "2", "400");
    ASSERT_EQ(Received().Radii, R);
    EXPECT_EQ(Records().Strings(),
              (std::vector<std::string>{"ANS=7", "STATUS=0", "JOB=\"1234\"", "TRCFMT=2;400;E;R;F",
                                        Records().Strings().back()}));
    EXPECT_EQ(Records().Strings().back().substr(0, 4), "CRC=");
}

TEST_F(RequestTest, RequestShapeEmptiesTheShapesFirst) {
    HoldShape(EllipseRadii(512), {"FTYP=1"});
    Received().HBox = 50;
    TForm1Probe::EndMessage(*Form) = "Earlier failure";
    SetTray("42");
    Form->ReqButton->click();
    EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_EQ(Received().DBL, 0);
    EXPECT_EQ(Received().HBox, 50);  // box values stay
    EXPECT_TRUE(Working().Radii.empty());
    EXPECT_EQ(Records().Count(), 0u);
    EXPECT_EQ(TForm1Probe::EndMessage(*Form), "");
    EXPECT_FALSE(Form->SaveButton->isEnabled());
}

TEST_F(RequestTest, EnterRequestsEvenWhileTheButtonIsDisabled) {
    Form->show();
    Form->activateWindow();
    Form->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == Form->TrayEdit; }));
    ASSERT_FALSE(Form->ReqButton->isEnabled());  // the field is empty
    PressKey(Form->TrayEdit, Qt::Key_Return);
    EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
    ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=1;400;E;B\r"),
              Ack + BuildPacket("REQ=7\rJOB=\"\"\rTRCFMT=1;400;E;R;F\r"));

    // During the conversation Enter starts it over.
    SetTray("88");
    PressKey(Form->TrayEdit, Qt::Key_Enter);
    EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitInitAnswer);
    EXPECT_EQ(Form->TrayEdit->text(), "88");  // Enter is swallowed
}

TEST_F(RequestTest, TrayNumberThatWouldBreakThePacketSendsNothing) {
    HoldShape(EllipseRadii(400));
    Form->show();
    Form->activateWindow();
    Form->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == Form->TrayEdit; }));
    const struct {
        const char* Tray;
        const char* Message;
    } Rows[] = {{"12\"34", "Tray number may not contain a double quote (\")"},
                {"12\t34", "Tray number may not contain control characters"}};
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Tray);
        for (int How = 0; How < 3; ++How) {
            SetTray(Row.Tray);
            Form->EnableControls(true);
            if (How == 0) Form->ReqButton->click();
            if (How == 1) PressKey(Form->TrayEdit, Qt::Key_Return);
            if (How == 2) Form->SaveButton->click();
            Settle();
            EXPECT_EQ(Host.ReadAvailable(), "");
            EXPECT_EQ(Panel(0), Row.Message);
            EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
            EXPECT_FALSE(Form->TimeoutTimer->isActive());
            EXPECT_EQ(Working().Radii.size(), 1600u);  // nothing emptied
        }
    }
}

TEST_F(RequestTest, TrayChangedToAQuoteMidConversationEndsIt) {
    SetTray("12");
    Form->ReqButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
    SetTray("1\"2");
    AnswerLast(Ack + BuildPacket("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=1;400;E;B\r"));
    EXPECT_EQ(Taken, Ack);
    EXPECT_EQ(Panel(0), "Tray number may not contain a double quote (\")");
    EXPECT_EQ(Viewed.size(), 1u);
}

TEST_F(RequestTest, FailedFirstSendReEnablesAndReportsThePortError) {
    Form->COMPort->SetActive(false);
    SetTray("12");
    Form->ReqButton->click();
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    EXPECT_TRUE(Form->SettingsButton->isEnabled());
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
}

TEST_F(RequestTest, DBLIsReadWithAPointWhateverTheLocale) {
    const QLocale Previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string R = EllipseRadii(400);
    RequestWithJob(Head() + "DBL=20.50\rTRCFMT=1;400;E;R;F\r" + EncodeTraceFmt1(R));
    EXPECT_EQ(Received().DBL, 20.5);
    EXPECT_EQ(Form->DBLEdit->Text(), "20,50");
    Form->ReqButton->setEnabled(true);
    RequestWithJob(Head() + "DBL=20,50\rTRCFMT=3;400;E;R;F\rR=" + EncodeTraceFmt3(R) + "\r", "3");
    EXPECT_EQ(Received().DBL, -99.9);  // "20,50" is no number on the wire
    QLocale::setDefault(Previous);
}

}  // namespace
