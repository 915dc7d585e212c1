// The store conversation after its opening: the grant, the upload in its
// exact order and the host's verdict.
#include <QSignalBlocker>

#include "conv_Fixture.h"

namespace {

class StoreTest : public ConversationFixture {
protected:
    // Save Shape through the tracer's negotiation (DEF 8, DescriptionRecords in the
    // answer to the tracer description) up to the grant Grant; returns what
    // the program sends on the grant.
    std::string StoreUpToUpload(const std::string& DescriptionRecords, const std::string& Grant) {
        Form->SaveButton->click();
        EXPECT_EQ(ProgramSends(), BuildPacket(InitRequestBody()));
        EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(TracerDescriptionBody()));
        EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\rDEF=8\r" + DescriptionRecords),
                  Ack + BuildPacket("REQ=8\rJOB=\"1234\"\r"));
        return Answer(Grant);
    }

    // The job records of a typical job data, as the request left them.
    const std::vector<std::string> JobRecords = {"ANS=7",
                                                 "STATUS=0",
                                                 "JOB=\"1234\"",
                                                 "HBOX=50.00;50.00",
                                                 "DBL=17.00",
                                                 "FTYP=1",
                                                 "ETYP=2",
                                                 "VBOX=1;1",
                                                 "TRCFMT=1;512;E;R;F",
                                                 "CIRC=1",
                                                 "DO=B",
                                                 "ZFMT=1",
                                                 "VEN=X",
                                                 "MODEL=Y",
                                                 "VER=1",
                                                 "REM=note",
                                                 "REQ=7",
                                                 "INI=1",
                                                 "FOO=X=1",
                                                 "CRC=12345"};

    // The echoed records for the working shape and a DBL field of 18.
    std::vector<std::string> EchoedRecords() {
        const std::string H = FormatBoxValue(Working().HBox);
        const std::string V = FormatBoxValue(Working().VBox);
        const std::string C = FormatBoxValue(Working().Circ);
        return {"HBOX=" + H, "DBL=18.00", "FTYP=1", "ETYP=2", "VBOX=" + V, "CIRC=" + C, "FOO=X=1"};
    }
};

std::vector<std::string> Joined(std::vector<std::string> A, const std::vector<std::string>& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

std::vector<std::string> TraceLines(const std::string& Records) {
    return BodyRecords(BuildPacket(Records));
}

TEST_F(StoreTest, FiveHundredTwelvePointsGrantedFourHundredInFormatOne) {
    const std::string Shape = EllipseRadii(512);
    HoldShape(Shape, JobRecords);
    Working().HBox = 52.3;
    const std::string Upload =
        StoreUpToUpload("TRCFMT=1;400;E;B\r", "ANS=8\rSTATUS=0\rJOB=\"1234\"\r");
    ASSERT_EQ(Upload.substr(0, 1), Ack);
    EXPECT_EQ(Panel(0), "Storing the shape to job 1234");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitStoreResult);

    TTraceCalc Calc;
    Calc.LoadTrace(Shape);
    Calc.Resample(400);
    const std::string Resampled = Calc.GetTrace();
    EXPECT_EQ(Working().Radii, Resampled);
    EXPECT_EQ(Working().HBox, 52.3);  // measurements stay as they were

    const std::vector<std::string> Records = BodyRecords(Upload);
    const std::vector<std::string> Head = {"ANS=8", "JOB=\"1234\"", "VEN=VORMIK", "MODEL=TORVIKAL",
                                           "TRCFMT=1;400;E;R;F"};
    const std::vector<std::string> Trace = TraceLines(EncodeTraceFmt1(Resampled));
    ASSERT_EQ(Trace.size(), 27u);
    EXPECT_EQ(std::count(Trace.back().begin(), Trace.back().end(), ';'), 9);
    EXPECT_EQ(Records, Joined(Joined(Head, Trace), EchoedRecords()));
    EXPECT_EQ(EchoedRecords().front(), "HBOX=52.30;52.30");
}

TEST_F(StoreTest, FormatsTwoToFourUploadOneRecord) {
    for (const std::string Format : {"2", "3", "4"}) {
        SCOPED_TRACE(Format);
        const std::string Shape = EllipseRadii(500);
        HoldShape(Shape);
        const std::string Upload =
            StoreUpToUpload("TRCFMT=" + Format + ";500;E;B\r", "ANS=8\rSTATUS=0\r");
        const std::string Body =
            "ANS=8\rJOB=\"1234\"\rVEN=VORMIK\rMODEL=TORVIKAL\rTRCFMT=" + Format + ";500;E;R;F\r" +
            TraceRecords(Format, Shape) + "HBOX=" + FormatBoxValue(Working().HBox) +
            "\rVBOX=" + FormatBoxValue(Working().VBox) +
            "\rCIRC=" + FormatBoxValue(Working().Circ) + "\rDBL=18.00\r";
        EXPECT_EQ(Upload, Ack + BuildPacket(Body));
        AnswerLast(Ack + BuildPacket("ANS=8\rSTATUS=0\r"));
        EXPECT_EQ(Panel(0), "Job stored");
    }
}

TEST_F(StoreTest, NoInitGrantWithoutTRCFMTUploadsFormatOneAtTheWorkingCount) {
    SetSetting("TracerMode", "No Init");
    const std::string Shape = EllipseRadii(1024);
    HoldShape(Shape, {"FTYP=1"});
    Form->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(NoInitStoreBody("1234")));
    const std::string Upload = Answer("ANS=TRC\rSTATUS=0\r");
    const std::string Body =
        "ANS=TRC\rJOB=\"1234\"\rVEN=VORMIK\rMODEL=TORVIKAL\r"
        "TRCFMT=1;1024;E;R;F\r" +
        EncodeTraceFmt1(Shape) + "FTYP=1\rHBOX=" + FormatBoxValue(Working().HBox) +
        "\rVBOX=" + FormatBoxValue(Working().VBox) + "\rCIRC=" + FormatBoxValue(Working().Circ) +
        "\rDBL=18.00\r";
    EXPECT_EQ(Upload, Ack + BuildPacket(Body));
}

TEST_F(StoreTest, NoInitReadsTheGrantsOwnTRCFMT) {
    SetSetting("TracerMode", "No Init");
    HoldShape(EllipseRadii(512));
    Form->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
    const std::string Upload = Answer("ANS=TRC\rSTATUS=0\rTRCFMT=3;400;E;B\r");
    const auto Records = BodyRecords(Upload);
    ASSERT_GE(Records.size(), 6u);
    EXPECT_EQ(Records[0], "ANS=TRC");
    EXPECT_EQ(Records[4], "TRCFMT=3;400;E;R;F");
    EXPECT_EQ(RadiusCount(Working().Radii), 400);
}

TEST_F(StoreTest, Verdicts) {
    const struct {
        std::string Reply;  // body; "#" stands for RS + "CRC=" + the checksum
        std::string Message;
    } Rows[] = {
        {"ANS=8\rSTATUS=3;\"Job locked\"\r", "Job locked"},
        {"ANS=8\rSTATUS=3\r", "#"},
        {"ANS=8\rJOB=\"1234\"\r", "Did not store the shape to the host"},
        {"ANS=8\rSTATUS=4;\"\"\r", "Did not store the shape to the host"},
        {"ANS=8\rSTATUS=0\r", "Job stored"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Reply);
        Viewed.clear();
        const std::string Shape = EllipseRadii(512);
        HoldShape(Shape);
        ASSERT_FALSE(StoreUpToUpload("TRCFMT=1;400;E;B\r", "ANS=8\rSTATUS=0\r").empty());
        const std::string Packet = BuildPacket(Row.Reply);
        AnswerLast(Ack + Packet);
        EXPECT_EQ(Taken, Ack);  // also for a refusal
        std::string Message = Row.Message;
        if (Message == "#")
            Message = Packet.substr(Packet.find(RS), Packet.rfind('\r') - Packet.find(RS));
        EXPECT_EQ(Panel(0).toLatin1().toStdString(), Message);
        if (Row.Message == "Job stored") {
            EXPECT_TRUE(Viewed.empty());
            EXPECT_TRUE(Received().Radii.empty());
            EXPECT_TRUE(Working().Radii.empty());
            EXPECT_EQ(Form->TrayEdit->text(), "");
            EXPECT_FALSE(Form->ReqButton->isEnabled());
            EXPECT_FALSE(Form->SaveButton->isEnabled());
            EXPECT_TRUE(Form->SettingsButton->isEnabled());
        } else {
            // Nothing lost: the resampled working shape can be saved again.
            EXPECT_EQ(Viewed.size(), 1u);
            EXPECT_EQ(RadiusCount(Working().Radii), 400);
            EXPECT_EQ(Received().Radii, Shape);
            EXPECT_TRUE(Form->SaveButton->isEnabled());
            EXPECT_EQ(Form->TrayEdit->text(), "1234");
        }
    }
}

TEST_F(StoreTest, GrantsThatEndTheConversation) {
    const struct {
        std::string TracerAnswer, Grant, Message;
        bool Acked;
    } Rows[] = {
        {"TRCFMT=1;400;E;B\r", "ANS=8\rSTATUS=1;\"Tray 1234 not found\"\r",
         "Did not get positive response from host", false},
        {"TRCFMT=1;5000;E;B\r", "ANS=8\rSTATUS=0\r", "Cannot store a trace of 5000 points", true},
        {"TRCFMT=2;0;E;B\r", "ANS=8\rSTATUS=0\r", "Cannot store a trace of 0 points", true},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.TracerAnswer + Row.Grant);
        const std::string Shape = EllipseRadii(512);
        HoldShape(Shape);
        Form->SaveButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
        ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\rDEF=8\r" + Row.TracerAnswer).empty());
        AnswerLast(Ack + BuildPacket(Row.Grant));
        EXPECT_EQ(Taken, Row.Acked ? Ack : "");
        EXPECT_EQ(Panel(0), QString::fromStdString(Row.Message));
        EXPECT_EQ(Working().Radii, Shape);
        EXPECT_TRUE(Form->SaveButton->isEnabled());
    }
}

TEST_F(StoreTest, DBLFieldThatIsNoNumberEndsTheStore) {
    HoldShape(EllipseRadii(512));
    {
        // As the field can hold it while the operator types; the editor would put the value back.
        const QSignalBlocker Quiet(Form->DBLEdit);
        Form->DBLEdit->SetText(QString());
    }
    Form->EnableControls(true);
    const std::string Upload = [&] {
        Form->SaveButton->click();
        ProgramSends();
        Answer("ANS=INI\rSTATUS=0\r");
        Answer("ANS=INI\rSTATUS=0\rDEF=8\rTRCFMT=1;512;E;B\r");
        Host.Write(Ack + BuildPacket("ANS=8\rSTATUS=0\r"));
        ProcessEventsUntil([&] { return TForm1Probe::State(*Form) == cvIdle; });
        return Host.ReadAvailable();
    }();
    EXPECT_EQ(Upload, Ack);
    EXPECT_EQ(Panel(0), "'' is not a valid floating point value");
    EXPECT_EQ(Viewed.size(), 1u);
}

TEST_F(StoreTest, NumbersGoOutWithAPointInACommaLocale) {
    const QLocale Previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    HoldShape(EllipseRadii(512), {"DBL=17.00"});
    Working().HBox = 52.3;
    ASSERT_EQ(Form->DBLEdit->Text(), "18,00");
    const auto Records = BodyRecords(StoreUpToUpload("TRCFMT=2;512;E;B\r", "ANS=8\rSTATUS=0\r"));
    QLocale::setDefault(Previous);
    ASSERT_GE(Records.size(), 4u);
    EXPECT_EQ(Records[Records.size() - 4], "DBL=18.00");
    EXPECT_EQ(Records[Records.size() - 3], "HBOX=52.30;52.30");
}

}  // namespace
