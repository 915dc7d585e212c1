// The request conversation's job step: the host's job data read into the
// received shape and the job's records, and every way it can end.
#include "ConversationFixture.h"

namespace {

class TRequestTest : public TConversationFixture {
protected:
    // Request Shape for tray 1234 up to the job request (DEF 7, Format;Count),
    // then the golden job reply Name; returns once the conversation has ended.
    void RequestWithReply(std::string_view name, const std::string& format = "1",
                          const std::string& count = "400") {
        ASSERT_FALSE(RequestUpToJob("1234", format, count).empty());
        AnswerLast(Ack + ReplyFile(name));
    }
};

TEST_F(TRequestTest, FormatOneJobWithTwoEyesTakesTheFirstFourHundredPoints) {
    // The golden reply: DBL 18.50, FTYP, ETYP, the right eye's ellipse, the
    // left eye's (24 by 20 mm), then Z=1;2;3.
    const std::string right = EllipseRadii(400);
    RequestWithReply("job-two-eyes");
    EXPECT_EQ(FTaken, Ack);
    EXPECT_EQ(Received().Radii, right);
    EXPECT_EQ(Received().DBL, 18.5);
    // Measured: the ellipse's axes lie on points 0, 100, 200 and 300.
    EXPECT_NEAR(Received().HBox, 52.0, 1e-9);
    EXPECT_NEAR(Received().VBox, 42.0, 1e-9);
    EXPECT_NEAR(Received().Circ, Perimeter(right), 1e-9);
    EXPECT_EQ(Working().Radii, right);
    EXPECT_EQ(Panel(0), "");
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FViewed.empty());
    EXPECT_EQ(FForm->DBLEdit->Text(), TValueEdit::FormatValue(18.5));
    EXPECT_EQ(FForm->BoxAEdit->Text(), TValueEdit::FormatValue(52.0));
    const std::string reply = ReplyFile("job-two-eyes");
    const std::string crc =
        reply.substr(reply.rfind("CRC="), reply.rfind('\r') - reply.rfind("CRC="));
    // A repeated label keeps its last value, in the place of its first.
    EXPECT_EQ(Records().Strings(),
              (std::vector<std::string>{"ANS=7", "STATUS=0", "JOB=\"1234\"", "DBL=18.50", "FTYP=1",
                                        "ETYP=2", "TRCFMT=1;400;E;L;F", crc}));
}

// Table of job data and what becomes of it.
TEST_F(TRequestTest, JobDataOutcomes) {
    // Golden job replies for tray 1234; the traces are the ellipse of EllipseRadii.
    const struct {
        const char* Reply;
        std::string Format, Count;  // granted to the edger's description
        std::string Message;        // empty: received
        int Points;
        double DBL;
    } rows[] = {
        {"job-ellipse-fmt1-400", "1", "400", "", 400, 0},
        {"job-ellipse-fmt2-400", "2", "400", "", 400, -99.9},
        {"job-ellipse-fmt3-400-dbl-spaced", "3", "400", "", 400, 17.25},  // "DBL = 17.25 "
        {"job-ellipse-fmt4-500", "1", "400", "", 500, -99.9},  // the job's TRCFMT wins
        // The first radius written with three digits.
        {"job-three-digit-radius", "1", "400",
         "Trace contains 399 points, but number of points is 400", 0, 0},
        // The ellipse without its first ten points.
        {"job-too-few-points", "1", "400", "Trace contains 390 points, but number of points is 400",
         0, 0},
        {"example-job-notrcfmt", "1", "400", "Cannot find trace data", 0, 0},  // no TRCFMT, no R
        {"job-r-without-trcfmt", "1", "400", "Trace type  is unsupported", 0, 0},
        {"job-fmt4-beyond-codec", "1", "400", "*", 0, 0},  // 5000 points
        // The agreed count is kept when the job's TRCFMT cannot be read.
        {"job-trcfmt-unreadable", "1", "0400", "Trace type  is unsupported", 0, 0},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        FViewed.clear();
        FForm->ReqButton->setEnabled(true);
        RequestWithReply(tRow.Reply, tRow.Format, tRow.Count);
        EXPECT_EQ(FTaken, Ack);
        if (tRow.Message.empty()) {
            EXPECT_EQ(Received().Radii, EllipseRadii(tRow.Points));
            EXPECT_DOUBLE_EQ(Received().DBL, tRow.DBL);
            EXPECT_EQ(Panel(0), "");
            EXPECT_TRUE(FViewed.empty());
            EXPECT_TRUE(FForm->SaveButton->isEnabled());
        } else {
            if (tRow.Message != "*") {
                EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Message));
            }
            EXPECT_FALSE(Panel(0).isEmpty());
            EXPECT_EQ(FViewed.size(), 1u);
            EXPECT_TRUE(Received().Radii.empty());
            EXPECT_FALSE(FForm->SaveButton->isEnabled());
        }
    }
}

TEST_F(TRequestTest, StatusReadings) {
    const struct {
        std::string Reply;  // a golden reply
        std::string Message;
    } rows[] = {
        {"example-job-nosuchtray", "No such tray"},
        {"example-job-status1", "Job not found/not available"},
        {"example-job-nostatus", "Job not found/not available"},
        {"job-locked-by-edger", "Locked by edger 3"},
        {"job-status-after-lf", "Gone"},  // the LF's record wins
    };
    HoldShape("job-ellipse-400", EllipseRadii(400));
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        FForm->ReqButton->setEnabled(true);
        RequestWithReply(tRow.Reply);
        EXPECT_EQ(FTaken, Ack);
        EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Message));
        EXPECT_EQ(Hint(), QString::fromStdString(tRow.Message));
        EXPECT_TRUE(FViewed.empty());  // a missing job does not open the log
        EXPECT_TRUE(Received().Radii.empty());
        EXPECT_TRUE(Working().Radii.empty());
        EXPECT_FALSE(FForm->SaveButton->isEnabled());
        EXPECT_TRUE(FForm->ReqButton->isEnabled());
    }
}

TEST_F(TRequestTest, UnreadableReplyGoesToTheClipboard) {
    const struct {
        std::string Reply;  // a golden reply
    } rows[] = {
        {"job-answers-def8"},            // another DEF
        {"job-answers-def77"},           // the DEF followed by a digit
        {"job-status-not-number"},       // a STATUS that is no number
        {"job-empty-status-after-lf"},  // the same after a LF
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        QGuiApplication::clipboard()->clear();
        FViewed.clear();
        FForm->ReqButton->setEnabled(true);
        RequestWithReply(tRow.Reply);
        EXPECT_EQ(FTaken, Ack);  // acknowledged before any check
        EXPECT_EQ(Panel(0), "Did not understand response from host");
        EXPECT_EQ(FViewed.size(), 1u);
        const std::string reply = ReplyFile(tRow.Reply);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toLatin1().toStdString(), reply);
    }
}

TEST_F(TRequestTest, RecordsAreCollectedByTheirPattern) {
    // FOO=X=1, FTYP=1, NAME=two words, ETYP=2, ftyp=3 and EMPTY=, then a
    // format 2 trace (the edger was granted format 1).
    RequestWithReply("job-records-by-pattern");
    ASSERT_EQ(Panel(0), "");
    EXPECT_EQ(Received().Radii, EllipseRadii(400));
    EXPECT_EQ(Records().Value("FOO"), "X=1");
    EXPECT_EQ(Records().Value("FTYP"), "3");  // labels ignore case; replaced in place
    EXPECT_EQ(Records().IndexOfName("NAME"), -1);
    EXPECT_EQ(Records().IndexOfName("EMPTY"), -1);
    EXPECT_EQ(Records().IndexOfName("R"), -1);
    EXPECT_LT(Records().IndexOfName("FTYP"), Records().IndexOfName("ETYP"));
    // A binary trace holds "=" and spaces; none of it may pass for a record.
    for (const std::string& line : Records().Strings())
        for (char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
    EXPECT_EQ(Records().Count(), 8u);  // ANS STATUS JOB FOO FTYP ETYP TRCFMT CRC
}

TEST_F(TRequestTest, BinaryTraceWithEqualsAndSpacesAddsNoRecords) {
    // Format 2 writes each radius low byte first: 398 radii 0x2020 (8224) are
    // two spaces each, and the last two, 0x2041 (8257) and 0x213D (8509),
    // end the line in "A =!", which reads like the record A=!.
    std::string r;
    for (int i = 0; i < 398; ++i) r += "8224";
    r += "82578509";
    const std::vector<std::string> sent = BodyRecords(ReplyFile("job-binary-equals-spaces"));
    ASSERT_EQ(sent.size(), 5u);  // ANS STATUS JOB TRCFMT R
    ASSERT_EQ(sent[4].substr(sent[4].size() - 4), "A =!");
    RequestWithReply("job-binary-equals-spaces", "2", "400");
    ASSERT_EQ(Received().Radii, r);
    EXPECT_EQ(Records().Strings(),
              (std::vector<std::string>{"ANS=7", "STATUS=0", "JOB=\"1234\"", "TRCFMT=2;400;E;R;F",
                                        Records().Strings().back()}));
    EXPECT_EQ(Records().Strings().back().substr(0, 4), "CRC=");
}

TEST_F(TRequestTest, RequestShapeEmptiesTheShapesFirst) {
    HoldShape("job-ellipse-512-ftyp", EllipseRadii(512));
    const double hbox = Received().HBox;
    ASSERT_NEAR(hbox, 52.0, 0.01);
    // A refused edit leaves its message on the picture.
    FForm->LockBCheckbox->click();
    FForm->BoxAEdit->SetText(QStringLiteral("5"));
    ASSERT_EQ(FForm->PictureMessage(), "Box A Too small");
    SetTray("42");
    FForm->ReqButton->click();
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_EQ(Received().DBL, 0);
    EXPECT_EQ(Received().HBox, hbox);  // box values stay
    EXPECT_TRUE(Working().Radii.empty());
    EXPECT_EQ(Records().Count(), 0u);
    EXPECT_EQ(FForm->PictureMessage(), "");
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
}

TEST_F(TRequestTest, EnterRequestsEvenWhileTheButtonIsDisabled) {
    FForm->show();
    FForm->activateWindow();
    FForm->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == FForm->TrayEdit; }));
    ASSERT_FALSE(FForm->ReqButton->isEnabled());  // the field is empty
    PressKey(FForm->TrayEdit, Qt::Key_Return);
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    ASSERT_FALSE(AnswerFile("init-fmt1").empty());
    // The golden job request, for no tray.
    EXPECT_EQ(AnswerFile("edger-granted-1-400"), Ack + JobRequestFor("7", "", "1", "400"));

    // During the conversation Enter starts it over.
    SetTray("88");
    PressKey(FForm->TrayEdit, Qt::Key_Enter);
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    EXPECT_TRUE(FForm->Talking());
    // The conversation starts over: the next answer is read as the init answer.
    EXPECT_EQ(AnswerFile("init-fmt1"), Ack + PacketFile("edger-description"));
    EXPECT_EQ(FForm->TrayEdit->text(), "88");  // Enter is swallowed
}

TEST_F(TRequestTest, TrayNumberThatWouldBreakThePacketSendsNothing) {
    HoldShape("job-ellipse-400", EllipseRadii(400));
    FForm->show();
    FForm->activateWindow();
    FForm->TrayEdit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == FForm->TrayEdit; }));
    const struct {
        const char* Tray;
        const char* Message;
    } rows[] = {{"12\"34", "Tray number may not contain a double quote (\")"},
                {"12\t34", "Tray number may not contain control characters"}};
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Tray);
        for (int how = 0; how < 3; ++how) {
            SetTray(tRow.Tray);
            FForm->EnableControls(true);
            if (how == 0) FForm->ReqButton->click();
            if (how == 1) PressKey(FForm->TrayEdit, Qt::Key_Return);
            if (how == 2) FForm->SaveButton->click();
            Settle();
            EXPECT_EQ(FHost.ReadAvailable(), "");
            EXPECT_EQ(Panel(0), tRow.Message);
            EXPECT_FALSE(FForm->Talking());
            EXPECT_FALSE(FForm->TimeoutTimer->isActive());
            EXPECT_EQ(Working().Radii.size(), 1600u);  // nothing emptied
        }
    }
}

TEST_F(TRequestTest, TrayChangedToAQuoteMidConversationEndsIt) {
    SetTray("12");
    FForm->ReqButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_FALSE(AnswerFile("init-fmt1").empty());
    SetTray("1\"2");
    AnswerLast(Ack + ReplyFile("edger-granted-1-400"));
    EXPECT_EQ(FTaken, Ack);
    EXPECT_EQ(Panel(0), "Tray number may not contain a double quote (\")");
    EXPECT_EQ(FViewed.size(), 1u);
}

TEST_F(TRequestTest, FailedFirstSendOnAClosedPortReEnablesAndSaysWhatToDo) {
    FForm->COMPort->SetActive(false);
    SetTray("12");
    FForm->ReqButton->click();
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(Panel(0), "The serial port is not open: it has been closed. Choose a port in Settings.");
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FForm->SettingsButton->isEnabled());
    EXPECT_FALSE(FForm->Talking());
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
}

TEST_F(TRequestTest, DBLIsReadWithAPointWhateverTheLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    RequestWithReply("job-dbl-point");  // DBL=20.50
    EXPECT_EQ(Received().DBL, 20.5);
    EXPECT_EQ(FForm->DBLEdit->Text(), "20,50");
    FForm->ReqButton->setEnabled(true);
    RequestWithReply("job-dbl-comma", "3");  // DBL=20,50, format 3
    EXPECT_EQ(Received().DBL, -99.9);  // "20,50" is no number on the wire
    QLocale::setDefault(previous);
}

}  // namespace
