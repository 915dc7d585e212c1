// The opening of the conversations: the packets the program sends, the
// host's answers it accepts or refuses, and the pause after initialization.
#include <clocale>

#include "ConversationFixture.h"

namespace {

// The checksum record of a packet, digits only.
std::string ChecksumOf(const std::string& packet) {
    const std::size_t at = packet.rfind("CRC=");
    return at == std::string::npos ? "" : packet.substr(at + 4, packet.find('\r', at) - at - 4);
}

TEST(HostPackets, DeviceDescriptionAndJobRequestAreTheKnownBytes) {
    const std::string description = EdgerDescriptionBody();
    EXPECT_EQ(description.size(), 310u);
    EXPECT_EQ(ChecksumOf(BuildPacket(description)), "19441");
    EXPECT_EQ(description, PacketBody("edger-description"));

    const std::string job = JobRequestBody("7", "1234", "1", "400");
    EXPECT_EQ(job, PacketBody("job-request"));
    EXPECT_EQ(ChecksumOf(BuildPacket(job)), "31386");
}

TEST(HostPackets, TwelveOffersFromMostPointsAndHighestFormat) {
    // The golden tracer description is its head, then the twelve offers.
    const std::string tracer = PacketBody("tracer-description");
    EXPECT_EQ(tracer.substr(tracer.find("TRCFMT=")), TraceFormatOffers());
    EXPECT_EQ(TracerDescriptionBody(), tracer);
    EXPECT_EQ(NoInitStoreBody("1234"), PacketBody("store-request-no-init"));
    EXPECT_EQ(StoreRequestBody("8", "1234"), PacketBody("store-request"));
}

TEST(HostPackets, NumbersOnTheWireUseAPointInEveryLocale) {
    // The program's locale comes from the environment; a comma locale must not reach the line.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C"}) {
        if (std::setlocale(LC_NUMERIC, name) == nullptr) continue;
        EXPECT_EQ(FormatBoxValue(52.3), "52.30;52.30") << name;
        EXPECT_EQ(FormatWireNumber(18), "18.00") << name;
        EXPECT_EQ(ReadWireNumber("20.5"), 20.5) << name;
    }
    std::setlocale(LC_NUMERIC, previous.c_str());

    const struct {
        const char* Text;
        std::optional<double> Value;
    } rows[] = {{"18.00", 18.0}, {"7", 7.0}, {".5", 0.5}, {"1.2.3", {}}, {"18.00;18.00", {}},
                {"18,00", {}},   {"", {}},   {"nan", {}}, {"1e999", {}}};
    for (const auto& tRow : rows) EXPECT_EQ(ReadWireNumber(tRow.Text), tRow.Value) << tRow.Text;
    EXPECT_EQ(FormatWireNumber(0.125), "0.12");  // the exact binary value, as printf rounds
    EXPECT_EQ(FormatWireNumber(-99.9), "-99.90");
}

TEST(HostPackets, PointCountsSaturateAndTrimRemovesFramingBytes) {
    EXPECT_EQ(PointCountValue("0400"), 400);
    EXPECT_EQ(PointCountValue(""), 0);
    EXPECT_EQ(PointCountValue("4x"), 0);
    EXPECT_GT(PointCountValue("99999999999999999999999"), 4096);
    EXPECT_EQ(TrimControl(std::string(1, FS) + " ANS \x1e\r"), "ANS");
    EXPECT_EQ(TrimControl("\x01\x02"), "");
}

using TNegotiationTest = TConversationFixture;

TEST_F(TNegotiationTest, RequestShapeOpensWithTheInitializationRequest) {
    SetTray("1234");
    FForm->ReqButton->click();
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FForm->TimeoutTimer->isActive());

    EXPECT_EQ(AnswerFile("init-fmt1"), Ack + PacketFile("edger-description"));
    EXPECT_EQ(Panel(0), "Sent information specs to host");

    const std::string job = AnswerFile("edger-def7-first");
    // The golden job request, for the format and count this answer granted.
    EXPECT_EQ(job, Ack + JobRequestFor("7", "1234", "4", "512"));
    EXPECT_EQ(Panel(0), "Requesting job 1234");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_TRUE(FSlept.empty());
    // The job data is read for DEF 7 and 512 points (the golden reply's
    // ellipse in format 4).
    AnswerLast(Ack + ReplyFile("job-ellipse-fmt4-512"));
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(Received().Radii, EllipseRadii(512));
}

TEST_F(TNegotiationTest, JobRequestForDefSevenAndFourHundredPointsHasItsChecksum) {
    const std::string job = RequestUpToJob("1234", "1", "400");
    EXPECT_EQ(job, Ack + PacketFile("job-request"));
}

// Answers to the initialization request: the first check is loose.
TEST_F(TNegotiationTest, InitAnswerCheck) {
    const struct {
        std::string Reply;  // a golden reply
        bool Accepted;
    } rows[] = {
        {"init-fmt1", true},
        {"example-init-status10", true},
        {"init-loose-status2", true},
        {"init-status1", false},
        {"init-status-first", false},
        {"example-search-answer", false},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        FViewed.clear();
        FForm->ReqButton->setEnabled(true);
        SetTray("9");
        FForm->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (tRow.Accepted) {
            EXPECT_EQ(AnswerFile(tRow.Reply), Ack + PacketFile("edger-description"));
            Abandon();
        } else {
            AnswerLast(Ack + ReplyFile(tRow.Reply));
            EXPECT_EQ(FTaken, "");  // neither ACK nor packet
            EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
            EXPECT_EQ(FViewed.size(), 1u);
        }
    }
}

// Answers to the device description: DEF and TRCFMT as the edger reads them.
TEST_F(TNegotiationTest, DefinitionAnswers) {
    const struct {
        std::string Reply;  // a golden reply
        std::string Def, Format, Count, Failure;
    } rows[] = {
        {"edger-quoted12-3-500", "12", "3", "500", ""},
        {"edger-initreq", "4", "4", "512", ""},
        {"edger-spaced", "7", "2", "400", ""},
        {"edger-padded-count", "7", "1", "0400", ""},
        {"edger-format5", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"edger-format0", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"edger-no-def", "", "", "", "Did not receive DEF from host (init 2)"},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Reply);
        FForm->ReqButton->setEnabled(true);
        SetTray("77");
        FForm->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        ASSERT_FALSE(AnswerFile("init-fmt1").empty());
        if (tRow.Failure.empty()) {
            EXPECT_EQ(AnswerFile(tRow.Reply),
                      Ack + JobRequestFor(tRow.Def, "77", tRow.Format, tRow.Count));
            Abandon();
        } else {
            AnswerLast(Ack + ReplyFile(tRow.Reply));
            EXPECT_EQ(FTaken, "");
            EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Failure));
        }
    }
}

TEST_F(TNegotiationTest, PauseModeYWaitsAfterTheAckBeforeTheRequest) {
    std::string sentBeforePause;
    FSleep = [&](unsigned ms) {
        FSlept.push_back(ms);
        sentBeforePause = FHost.ReadAvailable();
    };
    for (const char* mode : {"y", "N", "Y"}) {
        SCOPED_TRACE(mode);
        Restart("PauseMode=" + std::string(mode) + "\r\n");
        FSlept.clear();
        sentBeforePause.clear();
        FForm->ReqButton->setEnabled(true);
        const std::string job = RequestUpToJob("5", "1", "400");
        EXPECT_EQ(job.substr(job.find(FS)), JobRequestFor("7", "5", "1", "400"));
        if (std::string(mode) == "Y") {
            EXPECT_EQ(FSlept, std::vector<unsigned>{4000});
            EXPECT_EQ(sentBeforePause, Ack);
        } else {
            EXPECT_TRUE(FSlept.empty());
        }
        Abandon();
    }
}

// Save Shape's opening in both tracer modes.
TEST_F(TNegotiationTest, StoreOpeningWithPresetInitNegotiatesFirst) {
    Restart("PauseMode=Y\r\n");
    HoldShape("job-ellipse-400", EllipseRadii(400));
    FForm->SaveButton->click();
    EXPECT_EQ(ProgramSends(), PacketFile("init"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());

    EXPECT_EQ(AnswerFile("storeinit-ok"), Ack + PacketFile("tracer-description"));
    EXPECT_EQ(Panel(0), "Negotiating trace format with host");
    EXPECT_TRUE(FSlept.empty());

    EXPECT_EQ(AnswerFile("tracer-abc-2-500"), Ack + StoreRequestFor("ABC"));
    EXPECT_EQ(FSlept, std::vector<unsigned>{4000});
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_TRUE(FForm->Talking());
    // The grant is read with the format this answer named, and the upload
    // answers to DEF ABC.
    const std::vector<std::string> upload = BodyRecords(AnswerFile("grant-abc-bare"));
    ASSERT_GE(upload.size(), 5u);
    EXPECT_EQ(upload[0], "ANS=ABC");
    EXPECT_EQ(upload[4], "TRCFMT=2;500;E;R;F");
}

TEST_F(TNegotiationTest, StoreOpeningWithNoInitAsksForTheJobDirectly) {
    Restart("TracerMode=No Init\r\nPauseMode=Y\r\n");
    HoldShape("job-ellipse-400", EllipseRadii(400));  // the request left DEF 7
    FForm->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    EXPECT_EQ(AnswerFile("storeinit-noinit"), Ack + PacketFile("store-request-no-init"));
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_TRUE(FSlept.empty());
    // The request's DEF is forgotten: the upload answers TRC.
    const std::vector<std::string> upload = BodyRecords(AnswerFile("grant-trc-bare"));
    ASSERT_FALSE(upload.empty());
    EXPECT_EQ(upload[0], "ANS=TRC");
}

TEST_F(TNegotiationTest, StoreInitAndDefinitionChecks) {
    // Golden replies: to the initialization, and to the tracer's description.
    const struct {
        std::string Init, Definition;
        std::string Def, Failure;
    } rows[] = {
        {"example-storeinit-01", "", "", "Did not get positive response from host"},
        {"init-status1", "", "", "Did not get positive response from host"},
        {"storeinit-ok", "example-tracer-plain", "ABC", ""},
        {"storeinit-ok", "tracer-def-after-blanks", "X9", ""},
        {"storeinit-ok", "example-tracer-quoted", "", ""},
        {"storeinit-ok", "tracer-status07", "", "Did not get positive response from host"},
        {"storeinit-ok", "tracer-xdef", "", "Did not find the host's DEF value"},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Init + "|" + tRow.Definition);
        HoldShape("job-ellipse-400", EllipseRadii(400));
        FForm->SaveButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (tRow.Definition.empty()) {
            AnswerLast(Ack + ReplyFile(tRow.Init));
            EXPECT_EQ(FTaken, "");
            EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Failure));
            continue;
        }
        ASSERT_FALSE(AnswerFile(tRow.Init).empty());
        if (tRow.Failure.empty()) {
            const std::string request = AnswerFile(tRow.Definition);
            std::string def = tRow.Def;
            // A quoted DEF is not taken from its own line: the shortest skip runs on to the
            // checksum digits, which end the next line.
            if (def.empty()) def = ChecksumOf(ReplyFile(tRow.Definition));
            EXPECT_EQ(request, Ack + StoreRequestFor(def));
            Abandon();
        } else {
            AnswerLast(Ack + ReplyFile(tRow.Definition));
            EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Failure));
            const bool ackedFirst = tRow.Failure == "Did not find the host's DEF value";
            EXPECT_EQ(FTaken, ackedFirst ? Ack : "");
        }
    }
}

}  // namespace
