// The store conversation after its opening: the grant, the upload in its
// exact order and the host's verdict.
#include <QSignalBlocker>

#include "ConversationFixture.h"

namespace {

class TStoreTest : public TConversationFixture {
protected:
    // Save Shape through the tracer's negotiation (the golden reply Tracer,
    // DEF 8, answering the tracer description) up to the golden grant Grant;
    // returns what the program sends on the grant.
    std::string StoreUpToUpload(std::string_view tracer, std::string_view grant) {
        FForm->SaveButton->click();
        EXPECT_EQ(ProgramSends(), PacketFile("init"));
        EXPECT_EQ(AnswerFile("storeinit-ok"), Ack + PacketFile("tracer-description"));
        EXPECT_EQ(AnswerFile(tracer), Ack + PacketFile("store-request"));
        return AnswerFile(grant);
    }

    // The golden job reply job-ellipse-512-records holds a typical job's
    // records after its ANS, STATUS and JOB: HBOX=50.00;50.00, DBL=17.00,
    // FTYP=1, ETYP=2, VBOX=1;1, CIRC=1, DO=B, ZFMT=1, VEN=X, MODEL=Y, VER=1,
    // REM=note, REQ=7, INI=1 and FOO=X=1. The request keeps them, and its
    // trace, TRCFMT and checksum, as the job's records; the upload echoes
    // those below, for the 512-point ellipse's measurements and the job's DBL of 17.
    static std::vector<std::string> EchoedRecords() {
        return {"HBOX=52.00;52.00", "DBL=17.00", "FTYP=1", "ETYP=2", "VBOX=42.00;42.00",
                "CIRC=" + WireBox(Perimeter(EllipseRadii(512))), "FOO=X=1"};
    }
    // The measurements of the ellipse of Radii: its axes lie on points 0, a
    // quarter, a half and three quarters round, 52 by 42 mm.
    static std::string Measured(const std::string& radii) {
        return "HBOX=52.00;52.00\rVBOX=42.00;42.00\rCIRC=" + WireBox(Perimeter(radii)) + "\r";
    }
};

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The golden upload's records before its trace (tray 1234), answering Ans.
std::string UploadHead(const std::string& ans) {
    std::string head = PacketBody("upload");
    head.erase(head.find("TRCFMT="));
    return head.replace(0, head.find('\r'), "ANS=" + ans);
}

// The R records (each with its CR) that follow the first TRCFMT record of
// the golden reply Name: its trace, written by make_replies.py's own encoders.
std::string GoldenTrace(std::string_view name) {
    std::string trace;
    bool inTrace = false;
    for (const std::string& record : BodyRecords(ReplyFile(name))) {
        if (inTrace && record.substr(0, 2) != "R=") break;
        if (inTrace) trace += record + "\r";
        inTrace = inTrace || record.substr(0, 7) == "TRCFMT=";
    }
    return trace;
}

// Radii in format 1, worked out here: R records of up to 15 groups of four digits.
std::vector<std::string> FormatOneLines(const std::string& radii) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < radii.size(); at += 4) {
        if (at % 60 == 0) lines.emplace_back("R=");
        else lines.back() += ';';
        lines.back() += radii.substr(at, 4);
    }
    return lines;
}

TEST_F(TStoreTest, FiveHundredTwelvePointsGrantedFourHundredInFormatOne) {
    const std::string shape = EllipseRadii(512);
    HoldShape("job-ellipse-512-records", shape);
    const TTraceInfo before = Working();
    const std::string upload =
        StoreUpToUpload("tracer-ok", "grant-8-1234");
    ASSERT_EQ(upload.substr(0, 1), Ack);
    EXPECT_EQ(Panel(0), "Storing the shape to job 1234");
    EXPECT_TRUE(FForm->Talking());

    // Both shapes computed independently (tests/data/conversation).
    const auto golden = [](const char* name) {
        return ReadFileBytes(QStringLiteral(TREVALON_TEST_DATA_DIR "/../data/conversation/") +
                             QString::fromLatin1(name) + QStringLiteral(".radii"));
    };
    ASSERT_EQ(shape, golden("ellipse-512"));
    const std::string resampled = golden("ellipse-512-400");
    EXPECT_EQ(Working().Radii, resampled);
    // Measurements stay as they were, though the resampled points measure otherwise.
    EXPECT_EQ(Working().HBox, before.HBox);
    EXPECT_EQ(Working().VBox, before.VBox);
    EXPECT_EQ(Working().Circ, before.Circ);

    const std::vector<std::string> records = BodyRecords(upload);
    const std::vector<std::string> head = BodyRecords(GoldenFrame(UploadHead("8") + "TRCFMT=1;400;E;R;F\r"));
    const std::vector<std::string> trace = FormatOneLines(resampled);
    ASSERT_EQ(trace.size(), 27u);
    EXPECT_EQ(std::count(trace.back().begin(), trace.back().end(), ';'), 9);
    EXPECT_EQ(records, Joined(Joined(head, trace), EchoedRecords()));
}

TEST_F(TStoreTest, FormatsTwoToFourUploadOneRecord) {
    for (const std::string format : {"2", "3", "4"}) {
        SCOPED_TRACE(format);
        const std::string shape = EllipseRadii(500);
        HoldShape("job-ellipse-500", shape);
        const std::string upload =
            StoreUpToUpload("tracer-granted-" + format + "-500", "grant-8-bare");
        // The trace as the golden job reply of the same ellipse carries it.
        const std::string body =
            UploadHead("8") + "TRCFMT=" + format + ";500;E;R;F\r" +
            GoldenTrace("job-ellipse-fmt" + format + "-500") + "DBL=18.00\r" + Measured(shape);
        EXPECT_EQ(upload, Ack + GoldenFrame(body));
        AnswerLast(Ack + ReplyFile("example-verdict-ok"));
        EXPECT_EQ(Panel(0), "Job stored");
    }
}

TEST_F(TStoreTest, NoInitGrantWithoutTRCFMTUploadsFormatOneAtTheWorkingCount) {
    Restart("TracerMode=No Init\r\n");
    const std::string shape = EllipseRadii(1024);
    HoldShape("job-ellipse-1024-ftyp-first", shape);  // FTYP=1, DBL=18.00
    FForm->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_EQ(AnswerFile("storeinit-noinit"), Ack + PacketFile("store-request-no-init"));
    const std::string upload = AnswerFile("grant-trc-bare");
    // The shape goes back as it came: the golden reply's trace.
    const std::string body =
        UploadHead("TRC") + "TRCFMT=1;1024;E;R;F\r" + GoldenTrace("job-ellipse-1024-ftyp-first") +
        "FTYP=1\rDBL=18.00\r" + Measured(shape);
    EXPECT_EQ(upload, Ack + GoldenFrame(body));
}

TEST_F(TStoreTest, NoInitReadsTheGrantsOwnTRCFMT) {
    Restart("TracerMode=No Init\r\n");
    HoldShape("job-ellipse-512", EllipseRadii(512));
    FForm->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    ASSERT_FALSE(AnswerFile("storeinit-noinit").empty());
    const std::string upload = AnswerFile("grant-trc-3-400");
    const auto records = BodyRecords(upload);
    ASSERT_GE(records.size(), 6u);
    EXPECT_EQ(records[0], "ANS=TRC");
    EXPECT_EQ(records[4], "TRCFMT=3;400;E;R;F");
    EXPECT_EQ(RadiusCount(Working().Radii), 400);
}

TEST_F(TStoreTest, Verdicts) {
    const struct {
        std::string Reply;  // a golden reply
        std::string Message;  // "#" stands for RS + "CRC=" + the checksum
    } rows[] = {
        {"example-verdict-locked", "Job locked"},
        {"example-verdict-bare3", "#"},
        {"verdict-job-only", "Did not store the shape to the host"},
        {"verdict-status4-empty-text", "Did not store the shape to the host"},
        {"example-verdict-ok", "Job stored"},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        FViewed.clear();
        const std::string shape = EllipseRadii(512);
        HoldShape("job-ellipse-512", shape);
        ASSERT_FALSE(StoreUpToUpload("tracer-ok", "grant-8-bare").empty());
        const std::string packet = ReplyFile(tRow.Reply);
        AnswerLast(Ack + packet);
        EXPECT_EQ(FTaken, Ack);  // also for a refusal
        std::string message = tRow.Message;
        if (message == "#")
            message = packet.substr(packet.find(RS), packet.rfind('\r') - packet.find(RS));
        EXPECT_EQ(Panel(0).toLatin1().toStdString(), message);
        if (tRow.Message == "Job stored") {
            EXPECT_TRUE(FViewed.empty());
            EXPECT_TRUE(Received().Radii.empty());
            EXPECT_TRUE(Working().Radii.empty());
            EXPECT_EQ(FForm->TrayEdit->text(), "");
            EXPECT_FALSE(FForm->ReqButton->isEnabled());
            EXPECT_FALSE(FForm->SaveButton->isEnabled());
            EXPECT_TRUE(FForm->SettingsButton->isEnabled());
        } else {
            // Nothing lost: the resampled working shape can be saved again.
            EXPECT_EQ(FViewed.size(), 1u);
            EXPECT_EQ(RadiusCount(Working().Radii), 400);
            EXPECT_EQ(Received().Radii, shape);
            EXPECT_TRUE(FForm->SaveButton->isEnabled());
            EXPECT_EQ(FForm->TrayEdit->text(), "1234");
        }
    }
}

TEST_F(TStoreTest, GrantsThatEndTheConversation) {
    const struct {
        std::string TracerAnswer, Grant, Message;  // golden replies, the operator's text
        bool Acked;
    } rows[] = {
        {"tracer-ok", "grant-tray-not-found", "Did not get positive response from host", false},
        {"tracer-granted-1-5000", "grant-8-bare", "Cannot store a trace of 5000 points", true},
        {"tracer-granted-2-0", "grant-8-bare", "Cannot store a trace of 0 points", true},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.TracerAnswer + tRow.Grant);
        const std::string shape = EllipseRadii(512);
        HoldShape("job-ellipse-512", shape);
        FForm->SaveButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        ASSERT_FALSE(AnswerFile("storeinit-ok").empty());
        ASSERT_FALSE(AnswerFile(tRow.TracerAnswer).empty());
        AnswerLast(Ack + ReplyFile(tRow.Grant));
        EXPECT_EQ(FTaken, tRow.Acked ? Ack : "");
        EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Message));
        EXPECT_EQ(Working().Radii, shape);
        EXPECT_TRUE(FForm->SaveButton->isEnabled());
    }
}

TEST_F(TStoreTest, DBLFieldThatIsNoNumberEndsTheStore) {
    HoldShape("job-ellipse-512", EllipseRadii(512));
    {
        // As the field can hold it while the operator types; the editor would put the value back.
        const QSignalBlocker quiet(FForm->DBLEdit);
        FForm->DBLEdit->SetText(QString());
    }
    FForm->EnableControls(true);
    const std::string upload = [&] {
        FForm->SaveButton->click();
        ProgramSends();
        AnswerFile("storeinit-ok");
        AnswerFile("tracer-granted-1-512");
        FHost.Write(Ack + ReplyFile("grant-8-bare"));
        EXPECT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }));
        return FHost.ReadAvailable();
    }();
    EXPECT_EQ(upload, Ack);
    EXPECT_EQ(Panel(0), "'' is not a valid floating point value");
    EXPECT_EQ(FViewed.size(), 1u);
}

TEST_F(TStoreTest, NumbersGoOutWithAPointInACommaLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    HoldShape("job-ellipse-512-dbl17", EllipseRadii(512));
    ASSERT_EQ(FForm->DBLEdit->Text(), "17,00");
    // The DBL field, not the job's record, is what goes out.
    FForm->DBLEdit->SetText(QStringLiteral("18"));
    ASSERT_EQ(Working().DBL, 18.0);
    ASSERT_EQ(FormatBoxValue(Working().HBox), "52.00;52.00");
    const auto records = BodyRecords(StoreUpToUpload("tracer-granted-2-512", "grant-8-bare"));
    QLocale::setDefault(previous);
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(records[records.size() - 4], "DBL=18.00");
    EXPECT_EQ(records[records.size() - 3], "HBOX=52.00;52.00");
}

}  // namespace
