// The opening of the conversations: the packets the program sends, the
// host's answers it accepts or refuses, and the pause after initialization.
#include <clocale>

#include "conv_Fixture.h"

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
    EXPECT_EQ(description, "ANS=INI\rDEV=EDG\rVEN=VORMIK\rMODEL=TORVIKAL\r" + TraceFormatOffers() +
                        "DEF=\"INITREQ\"\rD=DBL;FTYP;ETYP\rD=HBOX;VBOX;CIRC\rENDDEF=\"INITREQ\"\r");

    const std::string job = JobRequestBody("7", "1234", "1", "400");
    EXPECT_EQ(job, "REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r");
    EXPECT_EQ(ChecksumOf(BuildPacket(job)), "31386");
}

TEST(HostPackets, TwelveOffersFromMostPointsAndHighestFormat) {
    EXPECT_EQ(TraceFormatOffers(),
              "TRCFMT=4;512;E;B\rTRCFMT=3;512;E;B\rTRCFMT=2;512;E;B\rTRCFMT=1;512;E;B\r"
              "TRCFMT=4;500;E;B\rTRCFMT=3;500;E;B\rTRCFMT=2;500;E;B\rTRCFMT=1;500;E;B\r"
              "TRCFMT=4;400;E;B\rTRCFMT=3;400;E;B\rTRCFMT=2;400;E;B\rTRCFMT=1;400;E;B\r");
    EXPECT_EQ(TracerDescriptionBody(),
              "ANS=INI\rDEV=TRC\rVEN=VORMIK\rMODEL=TORVIKAL\r" + TraceFormatOffers());
    EXPECT_EQ(NoInitStoreBody("55"), "REQ=TRC\rJOB=\"55\"\r" + TraceFormatOffers());
    EXPECT_EQ(StoreRequestBody("ABC", ""), "REQ=ABC\rJOB=\"\"\r");
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
    EXPECT_EQ(ProgramSends(), BuildPacket("REQ=INI\rOMAV=3.02\r"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FForm->TimeoutTimer->isActive());

    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(EdgerDescriptionBody()));
    EXPECT_EQ(Panel(0), "Sent information specs to host");

    const std::string job = Answer("ANS=INI\rSTATUS=0\rTRCFMT=4;512;E;B\rDEF=7\r");
    EXPECT_EQ(job, Ack + BuildPacket("REQ=7\rJOB=\"1234\"\rTRCFMT=4;512;E;R;F\r"));
    EXPECT_EQ(Panel(0), "Requesting job 1234");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_TRUE(FSlept.empty());
    // The job data is read for DEF 7 and 512 points.
    AnswerLast(Ack + BuildPacket("ANS=7\rSTATUS=0\rJOB=\"1234\"\rTRCFMT=4;512;E;R;F\rR=" +
                                 EncodeTraceFmt4(EllipseRadii(512)) + "\r"));
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(RadiusCount(Received().Radii), 512);
}

TEST_F(TNegotiationTest, JobRequestForDefSevenAndFourHundredPointsHasItsChecksum) {
    const std::string job = RequestUpToJob("1234", "1", "400");
    EXPECT_EQ(job, Ack + std::string(1, FS) + "REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r" + RS +
                       "CRC=31386\r" + GS);
}

// Answers to the initialization request: the first check is loose.
TEST_F(TNegotiationTest, InitAnswerCheck) {
    const struct {
        std::string Body;
        bool Accepted;
    } rows[] = {
        {"ANS=INI\rSTATUS=0\r", true},
        {"ANS=INI\rSTATUS=10\r", true},
        {"ANS = INI\rX=1\rSTATUS=2\rY=0;\r", true},
        {"ANS=INI\rSTATUS=1\r", false},
        {"STATUS=0\rANS=INI\r", false},
        {"ANS=INI\r", false},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Body);
        FViewed.clear();
        FForm->ReqButton->setEnabled(true);
        SetTray("9");
        FForm->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (tRow.Accepted) {
            EXPECT_EQ(Answer(tRow.Body), Ack + BuildPacket(EdgerDescriptionBody()));
            Abandon();
        } else {
            AnswerLast(Ack + BuildPacket(tRow.Body));
            EXPECT_EQ(FTaken, "");  // neither ACK nor packet
            EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
            EXPECT_EQ(FViewed.size(), 1u);
        }
    }
}

// Answers to the device description: DEF and TRCFMT as the edger reads them.
TEST_F(TNegotiationTest, DefinitionAnswers) {
    const struct {
        std::string Records;
        std::string Def, Format, Count, Failure;
    } rows[] = {
        {"DEF=\"12\"\rTRCFMT=3;500;E;B\r", "12", "3", "500", ""},
        {"DEF=\"INITREQ\"\rTRCFMT=4;512;E;B\r", "4", "4", "512", ""},
        {"DEF = 7\rTRCFMT = 2 ; x400x;E;B\r", "7", "2", "400", ""},
        {"DEF=7\rTRCFMT=1;0400;E;B\r", "7", "1", "0400", ""},
        {"DEF=7\rTRCFMT=5;512;E;B\r", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"DEF=7\rTRCFMT=0;512;E;B\r", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"TRCFMT=1;400;E;B\r", "", "", "", "Did not receive DEF from host (init 2)"},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Records);
        FForm->ReqButton->setEnabled(true);
        SetTray("77");
        FForm->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
        if (tRow.Failure.empty()) {
            EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r" + tRow.Records),
                      Ack + BuildPacket(JobRequestBody(tRow.Def, "77", tRow.Format, tRow.Count)));
            Abandon();
        } else {
            AnswerLast(Ack + BuildPacket("ANS=INI\rSTATUS=0\r" + tRow.Records));
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
        EXPECT_EQ(job.substr(job.find(FS)), BuildPacket(JobRequestBody("7", "5", "1", "400")));
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
    HoldShape(EllipseRadii(400));
    FForm->SaveButton->click();
    EXPECT_EQ(ProgramSends(), BuildPacket("REQ=INI\rOMAV=3.02\r"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());

    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(TracerDescriptionBody()));
    EXPECT_EQ(Panel(0), "Negotiating trace format with host");
    EXPECT_TRUE(FSlept.empty());

    const std::string reply = "ANS=INI\rSTATUS=0\rDEF=ABC\rTRCFMT=2;500;E;B\r";
    EXPECT_EQ(Answer(reply), Ack + BuildPacket("REQ=ABC\rJOB=\"1234\"\r"));
    EXPECT_EQ(FSlept, std::vector<unsigned>{4000});
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_TRUE(FForm->Talking());
    // The grant is read with the format this answer named, and the upload
    // answers to DEF ABC.
    const std::vector<std::string> upload = BodyRecords(Answer("ANS=ABC\rSTATUS=0\r"));
    ASSERT_GE(upload.size(), 5u);
    EXPECT_EQ(upload[0], "ANS=ABC");
    EXPECT_EQ(upload[4], "TRCFMT=2;500;E;R;F");
}

TEST_F(TNegotiationTest, StoreOpeningWithNoInitAsksForTheJobDirectly) {
    Restart("TracerMode=No Init\r\nPauseMode=Y\r\n");
    HoldShape(EllipseRadii(400));  // the request left DEF 7
    FForm->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"),
              Ack + BuildPacket("REQ=TRC\rJOB=\"1234\"\r" + TraceFormatOffers()));
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_TRUE(FForm->Talking());
    EXPECT_TRUE(FSlept.empty());
    // The request's DEF is forgotten: the upload answers TRC.
    const std::vector<std::string> upload = BodyRecords(Answer("ANS=TRC\rSTATUS=0\r"));
    ASSERT_FALSE(upload.empty());
    EXPECT_EQ(upload[0], "ANS=TRC");
}

TEST_F(TNegotiationTest, StoreInitAndDefinitionChecks) {
    const struct {
        std::string Init, Definition;
        std::string Def, Failure;
    } rows[] = {
        {"ANS=INI\rSTATUS=01\r", "", "", "Did not get positive response from host"},
        {"ANS=INI\rSTATUS=1\r", "", "", "Did not get positive response from host"},
        {"ANS=INI\rSTATUS=0\r", "ANS=INI\rSTATUS=0\rDEF=ABC\r", "ABC", ""},
        {"ANS=INI\rSTATUS=0\r", "ANS=INI\rSTATUS=0\rDEF=;  X9\r", "X9", ""},
        {"ANS=INI\rSTATUS=0\r", "ANS=INI\rSTATUS=0\rDEF=\"ABC\"\r", "", ""},
        {"ANS=INI\rSTATUS=0\r", "ANS=INI\rSTATUS=07\rDEF=ABC\r", "",
         "Did not get positive response from host"},
        {"ANS=INI\rSTATUS=0\r", "ANS=INI\rSTATUS=0\rXDEF=ABC\r", "",
         "Did not find the host's DEF value"},
    };
    for (const auto& tRow : rows) {
        SCOPED_TRACE(tRow.Init + "|" + tRow.Definition);
        HoldShape(EllipseRadii(64));
        FForm->SaveButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (tRow.Definition.empty()) {
            AnswerLast(Ack + BuildPacket(tRow.Init));
            EXPECT_EQ(FTaken, "");
            EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Failure));
            continue;
        }
        ASSERT_FALSE(Answer(tRow.Init).empty());
        if (tRow.Failure.empty()) {
            const std::string request = Answer(tRow.Definition);
            std::string def = tRow.Def;
            // A quoted DEF is not taken from its own line: the shortest skip runs on to the
            // checksum digits, which end the next line.
            if (def.empty()) {
                const std::string packet = BuildPacket(tRow.Definition);
                def = ChecksumOf(packet);
            }
            EXPECT_EQ(request, Ack + BuildPacket(StoreRequestBody(def, "1234")));
            Abandon();
        } else {
            AnswerLast(Ack + BuildPacket(tRow.Definition));
            EXPECT_EQ(Panel(0), QString::fromStdString(tRow.Failure));
            const bool ackedFirst = tRow.Failure == "Did not find the host's DEF value";
            EXPECT_EQ(FTaken, ackedFirst ? Ack : "");
        }
    }
}

}  // namespace
