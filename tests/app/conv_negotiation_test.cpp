// The opening of the conversations: the packets the program sends, the
// host's answers it accepts or refuses, and the pause after initialization.
#include <clocale>

#include "conv_Fixture.h"

namespace {

// The checksum record of a packet, digits only.
std::string ChecksumOf(const std::string& Packet) {
    const std::size_t At = Packet.rfind("CRC=");
    return At == std::string::npos ? "" : Packet.substr(At + 4, Packet.find('\r', At) - At - 4);
}

TEST(HostPackets, DeviceDescriptionAndJobRequestAreTheKnownBytes) {
    const std::string Description = EdgerDescriptionBody();
    EXPECT_EQ(Description.size(), 310u);
    EXPECT_EQ(ChecksumOf(BuildPacket(Description)), "19441");
    EXPECT_EQ(Description, "ANS=INI\rDEV=EDG\rVEN=VORMIK\rMODEL=TORVIKAL\r" + TraceFormatOffers() +
                        "DEF=\"INITREQ\"\rD=DBL;FTYP;ETYP\rD=HBOX;VBOX;CIRC\rENDDEF=\"INITREQ\"\r");

    const std::string Job = JobRequestBody("7", "1234", "1", "400");
    EXPECT_EQ(Job, "REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r");
    EXPECT_EQ(ChecksumOf(BuildPacket(Job)), "31386");
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
    const std::string Previous = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* Name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C"}) {
        if (std::setlocale(LC_NUMERIC, Name) == nullptr) continue;
        EXPECT_EQ(FormatBoxValue(52.3), "52.30;52.30") << Name;
        EXPECT_EQ(FormatWireNumber(18), "18.00") << Name;
        EXPECT_EQ(ReadWireNumber("20.5"), 20.5) << Name;
    }
    std::setlocale(LC_NUMERIC, Previous.c_str());

    const struct {
        const char* Text;
        std::optional<double> Value;
    } Rows[] = {{"18.00", 18.0}, {"7", 7.0}, {".5", 0.5}, {"1.2.3", {}}, {"18.00;18.00", {}},
                {"18,00", {}},   {"", {}},   {"nan", {}}, {"1e999", {}}};
    for (const auto& Row : Rows) EXPECT_EQ(ReadWireNumber(Row.Text), Row.Value) << Row.Text;
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

using NegotiationTest = ConversationFixture;

TEST_F(NegotiationTest, RequestShapeOpensWithTheInitializationRequest) {
    SetTray("1234");
    Form->ReqButton->click();
    EXPECT_EQ(ProgramSends(), BuildPacket("REQ=INI\rOMAV=3.02\r"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitInitAnswer);
    EXPECT_FALSE(Form->ReqButton->isEnabled());
    EXPECT_TRUE(Form->TimeoutTimer->isActive());

    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(EdgerDescriptionBody()));
    EXPECT_EQ(Panel(0), "Sent information specs to host");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitDefinition);

    const std::string Job = Answer("ANS=INI\rSTATUS=0\rTRCFMT=4;512;E;B\rDEF=7\r");
    EXPECT_EQ(Job, Ack + BuildPacket("REQ=7\rJOB=\"1234\"\rTRCFMT=4;512;E;R;F\r"));
    EXPECT_EQ(Panel(0), "Requesting job 1234");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitJob);
    EXPECT_EQ(TForm1Probe::HostDef(*Form), "7");
    EXPECT_EQ(TForm1Probe::PointCount(*Form), "512");
    EXPECT_TRUE(Slept.empty());
}

TEST_F(NegotiationTest, JobRequestForDefSevenAndFourHundredPointsHasItsChecksum) {
    const std::string Job = RequestUpToJob("1234", "1", "400");
    EXPECT_EQ(Job, Ack + std::string(1, FS) + "REQ=7\rJOB=\"1234\"\rTRCFMT=1;400;E;R;F\r" + RS +
                       "CRC=31386\r" + GS);
}

// Answers to the initialization request: the first check is loose.
TEST_F(NegotiationTest, InitAnswerCheck) {
    const struct {
        std::string Body;
        bool Accepted;
    } Rows[] = {
        {"ANS=INI\rSTATUS=0\r", true},
        {"ANS=INI\rSTATUS=10\r", true},
        {"ANS = INI\rX=1\rSTATUS=2\rY=0;\r", true},
        {"ANS=INI\rSTATUS=1\r", false},
        {"STATUS=0\rANS=INI\r", false},
        {"ANS=INI\r", false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Body);
        Viewed.clear();
        Form->ReqButton->setEnabled(true);
        SetTray("9");
        Form->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (Row.Accepted) {
            EXPECT_EQ(Answer(Row.Body), Ack + BuildPacket(EdgerDescriptionBody()));
            Form->TimeoutTimer->stop();
            TForm1Probe::State(*Form) = cvIdle;
        } else {
            AnswerLast(Ack + BuildPacket(Row.Body));
            EXPECT_EQ(Taken, "");  // neither ACK nor packet
            EXPECT_EQ(Panel(0), "Did not receive status 0 on init");
            EXPECT_EQ(Viewed.size(), 1u);
        }
    }
}

// Answers to the device description: DEF and TRCFMT as the edger reads them.
TEST_F(NegotiationTest, DefinitionAnswers) {
    const struct {
        std::string Records;
        std::string Def, Format, Count, Failure;
    } Rows[] = {
        {"DEF=\"12\"\rTRCFMT=3;500;E;B\r", "12", "3", "500", ""},
        {"DEF=\"INITREQ\"\rTRCFMT=4;512;E;B\r", "4", "4", "512", ""},
        {"DEF = 7\rTRCFMT = 2 ; x400x;E;B\r", "7", "2", "400", ""},
        {"DEF=7\rTRCFMT=1;0400;E;B\r", "7", "1", "0400", ""},
        {"DEF=7\rTRCFMT=5;512;E;B\r", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"DEF=7\rTRCFMT=0;512;E;B\r", "7", "", "", "Did not receive TRCFMT from host (init 2)"},
        {"TRCFMT=1;400;E;B\r", "", "", "", "Did not receive DEF from host (init 2)"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Records);
        Form->ReqButton->setEnabled(true);
        SetTray("77");
        Form->ReqButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        ASSERT_FALSE(Answer("ANS=INI\rSTATUS=0\r").empty());
        if (Row.Failure.empty()) {
            EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r" + Row.Records),
                      Ack + BuildPacket(JobRequestBody(Row.Def, "77", Row.Format, Row.Count)));
            EXPECT_EQ(TForm1Probe::PointCount(*Form), Row.Count);
            Form->TimeoutTimer->stop();
            TForm1Probe::State(*Form) = cvIdle;
        } else {
            AnswerLast(Ack + BuildPacket("ANS=INI\rSTATUS=0\r" + Row.Records));
            EXPECT_EQ(Taken, "");
            EXPECT_EQ(Panel(0), QString::fromStdString(Row.Failure));
        }
        if (!Row.Def.empty()) {
            EXPECT_EQ(TForm1Probe::HostDef(*Form), Row.Def);
        }
    }
}

TEST_F(NegotiationTest, PauseModeYWaitsAfterTheAckBeforeTheRequest) {
    std::string SentBeforePause;
    TForm1Probe::Sleep(*Form) = [&](unsigned Ms) {
        Slept.push_back(Ms);
        SentBeforePause = Host.ReadAvailable();
    };
    for (const char* Mode : {"y", "N", "Y"}) {
        SCOPED_TRACE(Mode);
        SetSetting("PauseMode", Mode);
        Slept.clear();
        SentBeforePause.clear();
        Form->ReqButton->setEnabled(true);
        const std::string Job = RequestUpToJob("5", "1", "400");
        EXPECT_EQ(Job.substr(Job.find(FS)), BuildPacket(JobRequestBody("7", "5", "1", "400")));
        if (std::string(Mode) == "Y") {
            EXPECT_EQ(Slept, std::vector<unsigned>{4000});
            EXPECT_EQ(SentBeforePause, Ack);
        } else {
            EXPECT_TRUE(Slept.empty());
        }
        Form->TimeoutTimer->stop();
        TForm1Probe::State(*Form) = cvIdle;
    }
}

// Save Shape's opening in both tracer modes.
TEST_F(NegotiationTest, StoreOpeningWithPresetInitNegotiatesFirst) {
    HoldShape(EllipseRadii(400));
    SetSetting("PauseMode", "Y");
    Form->SaveButton->click();
    EXPECT_EQ(ProgramSends(), BuildPacket("REQ=INI\rOMAV=3.02\r"));
    EXPECT_EQ(Panel(0), "Sent request to initialize");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitStoreInit);
    EXPECT_FALSE(Form->SaveButton->isEnabled());

    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"), Ack + BuildPacket(TracerDescriptionBody()));
    EXPECT_EQ(Panel(0), "Negotiating trace format with host");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitStoreDefinition);
    EXPECT_TRUE(Slept.empty());

    const std::string Reply = "ANS=INI\rSTATUS=0\rDEF=ABC\rTRCFMT=2;500;E;B\r";
    EXPECT_EQ(Answer(Reply), Ack + BuildPacket("REQ=ABC\rJOB=\"1234\"\r"));
    EXPECT_EQ(Slept, std::vector<unsigned>{4000});
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitStoreGrant);
    EXPECT_EQ(TForm1Probe::HostDef(*Form), "ABC");
    EXPECT_EQ(TForm1Probe::StoreInitReply(*Form), BuildPacket(Reply));
}

TEST_F(NegotiationTest, StoreOpeningWithNoInitAsksForTheJobDirectly) {
    HoldShape(EllipseRadii(400));
    SetSetting("TracerMode", "No Init");
    SetSetting("PauseMode", "Y");
    TForm1Probe::HostDef(*Form) = "7";  // from an earlier request
    Form->SaveButton->click();
    ASSERT_FALSE(ProgramSends().empty());
    EXPECT_EQ(Answer("ANS=INI\rSTATUS=0\r"),
              Ack + BuildPacket("REQ=TRC\rJOB=\"1234\"\r" + TraceFormatOffers()));
    EXPECT_EQ(Panel(0), "Requesting to store job 1234");
    EXPECT_EQ(TForm1Probe::State(*Form), cvAwaitStoreGrant);
    EXPECT_EQ(TForm1Probe::HostDef(*Form), "");
    EXPECT_TRUE(Slept.empty());
}

TEST_F(NegotiationTest, StoreInitAndDefinitionChecks) {
    const struct {
        std::string Init, Definition;
        std::string Def, Failure;
    } Rows[] = {
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
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Init + "|" + Row.Definition);
        HoldShape(EllipseRadii(64));
        Form->SaveButton->click();
        ASSERT_FALSE(ProgramSends().empty());
        if (Row.Definition.empty()) {
            AnswerLast(Ack + BuildPacket(Row.Init));
            EXPECT_EQ(Taken, "");
            EXPECT_EQ(Panel(0), QString::fromStdString(Row.Failure));
            continue;
        }
        ASSERT_FALSE(Answer(Row.Init).empty());
        if (Row.Failure.empty()) {
            const std::string Request = Answer(Row.Definition);
            std::string Def = Row.Def;
            // A quoted DEF is not taken from its own line: the shortest skip runs on to the
            // checksum digits, which end the next line.
            if (Def.empty()) {
                const std::string Packet = BuildPacket(Row.Definition);
                Def = ChecksumOf(Packet);
            }
            EXPECT_EQ(TForm1Probe::HostDef(*Form), Def);
            EXPECT_EQ(Request, Ack + BuildPacket(StoreRequestBody(Def, "1234")));
            Form->TimeoutTimer->stop();
            TForm1Probe::State(*Form) = cvIdle;
        } else {
            AnswerLast(Ack + BuildPacket(Row.Definition));
            EXPECT_EQ(Panel(0), QString::fromStdString(Row.Failure));
            const bool AckedFirst = Row.Failure == "Did not find the host's DEF value";
            EXPECT_EQ(Taken, AckedFirst ? Ack : "");
        }
    }
}

}  // namespace
