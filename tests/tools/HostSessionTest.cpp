#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "ClientPackets.h"
#include "oma/ReplyMatcher.h"
#include "shape/TrceCalc.h"
#include "tools/HostSession.h"

using namespace client;

namespace {

const std::string Ack(1, ACK);

// The golden reply Name as the host sends it: its ACK, then the packet.
std::string Expected(std::string_view name) {
    return Ack + ReplyFile(name);
}

bool Matches(const std::string& pattern, const std::string& subject) {
    TReplyMatcher m;
    return m.Match(pattern, subject);
}

std::string Group(const std::string& pattern, const std::string& subject, int n) {
    TReplyMatcher m;
    return m.Match(pattern, subject) ? m.Group(n) : "<no match>";
}

class THostSessionTest : public ::testing::Test {
protected:
    void SetUp() override { FJobs.Files["1234"] = Sample("R360_3.oma"); }

    // One client packet in, the host's whole answer out.
    std::string Exchange(THostSession& host, const std::string& body, unsigned baud = 0) {
        auto replies = host.Feed(GoldenFrame(body), baud);
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? std::string() : replies.front().Bytes();
    }

    TMemoryJobs FJobs;
    THostConfig FConfig;
};

TEST_F(THostSessionTest, ClientPacketsAreTheProgramsOwn) {
    // The packets the tests send are byte for byte those the program sends.
    EXPECT_EQ(BuildPacket(InitBody()), PacketFile("init"));
    EXPECT_EQ(BuildPacket(JobRequestBody("7", "1234", 1, 400)), PacketFile("job-request"));
    EXPECT_EQ(BuildPacket(StoreRequestBody("8", "1234")), PacketFile("store-request"));
    EXPECT_EQ(BuildPacket(NoInitStoreBody("1234")), PacketFile("store-request-no-init"));
    EXPECT_EQ(EdgerDescriptionBody().size(), 310u);
    EXPECT_EQ(OmaCRC16(EdgerDescriptionBody() + RS), 19441);
    EXPECT_EQ(OmaCRC16(JobRequestBody("7", "1234", 1, 400) + RS), 31386);
    EXPECT_EQ(BuildPacket(ProbeBody()).size(), 21u);
}

TEST_F(THostSessionTest, AnswersInitializationAndHostSearchProbe) {
    THostSession host(FConfig, FJobs);
    const std::string answer = Expected("init-fmt1");
    for (const auto& body : {InitBody(), ProbeBody()}) {
        std::string reply = Exchange(host, body);
        EXPECT_EQ(reply, answer);
        EXPECT_TRUE(Matches(R"(ANS.*=.*INI.*STATUS.*=.*0\D)", reply));
        EXPECT_TRUE(Matches(R"(STATUS\s*=\s*0\s*\D+)", reply));
        EXPECT_TRUE(Matches(R"(ANS\s*=\s*INI)", reply));
    }
    EXPECT_EQ(host.Exchanges(), 2u);
}

// The conversations the golden replies of tests/data/replies record: the
// simulator's answer to each packet is that file, byte for byte.
struct TGoldenConversation {
    std::string Name;
    bool Store = false;
    THostConfig Config;
    std::string Tray = "R360_3";
    int Format = 1;
    int Count = 360;
    bool NoInit = false;
};

void PrintTo(const TGoldenConversation& row, std::ostream* out) {
    *out << (row.Store ? "store " : "request ") << row.Name;
}

TGoldenConversation Golden(std::string name, bool store = false) {
    TGoldenConversation row;
    row.Name = std::move(name);
    row.Store = store;
    return row;
}

std::vector<TGoldenConversation> GoldenConversations() {
    std::vector<TGoldenConversation> rows;
    for (int format = 1; format <= 4; ++format) {
        TGoldenConversation row = Golden("fmt" + std::to_string(format));
        row.Format = format;
        rows.push_back(row);
    }
    TGoldenConversation def12 = Golden("def12");
    def12.Config.EdgerDef = "12";
    def12.Config.PreferFormat = 1;
    def12.Config.PreferPoints = 400;
    def12.Tray = "nosuchtray";
    rows.push_back(def12);
    TGoldenConversation faults = Golden("status-fault");
    faults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkInit)] = TStatusFault{2, "Busy"};
    faults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkEdger)] = TStatusFault{6, "Host fault"};
    faults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkJob)] = TStatusFault{3, "Job locked"};
    rows.push_back(faults);

    // Stores of a flat 400-point format 1 trace unless the host grants another.
    auto store = [](std::string name) {
        TGoldenConversation row = Golden(std::move(name), true);
        row.Config.PreferFormat = 1;
        row.Config.PreferPoints = 400;
        return row;
    };
    rows.push_back(store("ok"));
    TGoldenConversation abc = store("abc");
    abc.Config.TracerDef = "ABC";
    abc.Config.PreferFormat = 3;
    abc.Config.PreferPoints = 500;
    rows.push_back(abc);
    TGoldenConversation noInit = store("noinit");
    noInit.NoInit = true;
    rows.push_back(noInit);
    TGoldenConversation refused = store("refused");
    refused.Config.Faults.RefuseStore = true;
    rows.push_back(refused);
    TGoldenConversation storeFaults = store("status-fault");
    storeFaults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkTracer)] =
        TStatusFault{5, "Checksum"};
    storeFaults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkGrant)] =
        TStatusFault{7, "No format"};
    storeFaults.Config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkVerdict)] = TStatusFault{4, ""};
    rows.push_back(storeFaults);
    return rows;
}

class THostGoldenTest : public THostSessionTest,
                        public ::testing::WithParamInterface<TGoldenConversation> {};

TEST_P(THostGoldenTest, AnswersAsTheGoldenRepliesRecord) {
    const TGoldenConversation& row = GetParam();
    FJobs.Files["R360_3"] = Sample("R360_3.oma");
    THostSession host(row.Config, FJobs);
    const auto expect = [&](const std::string& file, const std::string& body) {
        EXPECT_EQ(Exchange(host, body), Expected(file + "-" + row.Name)) << file;
    };
    if (!row.Store) {
        expect("init", InitBody());
        expect("edger", EdgerDescriptionBody());
        expect("job", JobRequestBody(row.Config.EdgerDef, row.Tray, row.Format, row.Count));
        return;
    }
    expect("storeinit", InitBody());
    std::string def = "TRC";
    if (row.NoInit) {
        expect("grant", NoInitStoreBody(row.Tray));
    } else {
        expect("tracer", TracerDescriptionBody());
        def = row.Config.TracerDef;
        expect("grant", StoreRequestBody(def, row.Tray));
    }
    // A flat 25 mm trace in the granted format and count.
    expect("verdict", UploadBody("flat-fmt" + std::to_string(row.Config.PreferFormat) + "-" +
                                     std::to_string(row.Config.PreferPoints),
                                 def, row.Tray));
}

INSTANTIATE_TEST_SUITE_P(Conversations, THostGoldenTest, ::testing::ValuesIn(GoldenConversations()),
                         [](const auto& row) {
                             std::string name = (row.param.Store ? "Store_" : "Request_") + row.param.Name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST_F(THostSessionTest, HangsUpHalfwayThroughTheGoldenJobReply) {
    FJobs.Files["R360_3"] = Sample("R360_3.oma");
    FConfig.Faults.HangUp[static_cast<std::size_t>(TReplyKind::rkJob)] = true;
    THostSession host(FConfig, FJobs);
    Exchange(host, InitBody());
    Exchange(host, EdgerDescriptionBody());
    const auto replies = host.Feed(GoldenFrame(JobRequestBody("7", "R360_3", 1, 360)));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_TRUE(replies.front().HangUp);
    EXPECT_EQ(replies.front().Bytes(), Ack + ReplyFile("job-hangup"));
}

struct TChoiceRow {
    int Format;
    int Points;
    bool Insist;
    const char* Granted;
};

void PrintTo(const TChoiceRow& row, std::ostream* out) {
    *out << "prefer format " << row.Format << ", " << row.Points << " points"
         << (row.Insist ? ", insisting" : "") << ": " << row.Granted;
}

class THostChoiceTest : public THostSessionTest, public ::testing::WithParamInterface<TChoiceRow> {};

TEST_P(THostChoiceTest, EdgerGetsDefAndPreferredOffer) {
    const auto& row = GetParam();
    FConfig.PreferFormat = row.Format;
    FConfig.PreferPoints = row.Points;
    FConfig.Insist = row.Insist;
    THostSession host(FConfig, FJobs);
    Exchange(host, InitBody());
    std::string reply = Exchange(host, EdgerDescriptionBody());
    std::string offer = std::string(row.Granted).substr(0, std::string(row.Granted).rfind(";E;B"));
    std::replace(offer.begin(), offer.end(), ';', '-');
    EXPECT_EQ(reply, Expected("edger-granted-" + offer));
    // Read as the program reads it.
    EXPECT_EQ(Group(R"(DEF\s*=\D*(\d+)\D)", reply, 1), "7");
    std::string granted = row.Granted;
    EXPECT_EQ(Group(R"(TRCFMT\s*=\s*([1-4])\s*;\D*(\d+)\D*;)", reply, 1), granted.substr(0, 1));
    EXPECT_EQ(Group(R"(TRCFMT\s*=\s*([1-4])\s*;\D*(\d+)\D*;)", reply, 2),
              granted.substr(2, granted.find(';', 2) - 2));
}

INSTANTIATE_TEST_SUITE_P(Preferences, THostChoiceTest,
                         ::testing::Values(TChoiceRow{0, 0, false, "4;512;E;B"},
                                           TChoiceRow{2, 500, false, "2;500;E;B"},
                                           TChoiceRow{1, 0, false, "1;512;E;B"},
                                           TChoiceRow{0, 400, false, "4;400;E;B"},
                                           TChoiceRow{3, 1000, false, "3;512;E;B"},
                                           TChoiceRow{0, 1000, false, "4;512;E;B"},
                                           TChoiceRow{1, 1000, true, "1;1000;E;B"},
                                           TChoiceRow{0, 360, true, "4;360;E;B"}),
                         [](const auto& row) {
                             return "Format" + std::to_string(row.param.Format) + "Points" +
                                    std::to_string(row.param.Points) +
                                    (row.param.Insist ? "Insisting" : "");
                         });

TEST_F(THostSessionTest, TracerDeviceDescriptionGetsDefOnItsOwnLine) {
    THostSession host(FConfig, FJobs);
    std::string reply = Exchange(host, TracerDescriptionBody());
    EXPECT_EQ(reply, Expected("tracer-default"));
    EXPECT_TRUE(Matches(R"(STATUS\s*=\s*0[\s\D])", reply));
    EXPECT_EQ(Group(R"([\n\r]DEF\s*=.*?;?\s*([0-9A-Za-z]+)\s*[\r\n])", reply, 1), "8");
    EXPECT_EQ(Group(R"(TRCFMT\s*=\s*([1-4])\s*;\s*(\d+)\s*;)", reply, 2), "512");
}

class THostJobTest : public THostSessionTest,
                    public ::testing::WithParamInterface<std::tuple<const char*, int, int>> {};

TEST_P(THostJobTest, ServesTheFirstTraceResampledAndEncoded) {
    auto [name, format, count] = GetParam();
    std::string sample = Sample(name);
    FJobs.Files["77"] = sample;
    THostSession host(FConfig, FJobs);
    std::string reply = Exchange(host, JobRequestBody("7", "77", format, count));

    const std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    EXPECT_EQ(reply, Expected("served-" + stem + "-fmt" + std::to_string(format) + "-" +
                              std::to_string(count)));
    ASSERT_EQ(reply.substr(0, 2), Ack + FS);
    EXPECT_TRUE(Matches(R"(ANS\s*=\s*7\D)", reply));
    EXPECT_EQ(JobStatus(reply).Code, "0");
    // The trace as the program reads it: the count asked for.
    auto radii = JobTrace(reply, count);
    ASSERT_TRUE(radii.has_value());
    EXPECT_EQ(radii->size(), static_cast<std::size_t>(count) * 4);
    // Only the one trace travels, and the job's records come with it.
    auto at = reply.find("TRCFMT=");
    EXPECT_EQ(reply.find("TRCFMT=", at + 1), std::string::npos);
    EXPECT_NE(reply.find("\rETYP="), std::string::npos);
    EXPECT_EQ(reply.find("JOB=\"77\""), reply.rfind("JOB="));
}

INSTANTIATE_TEST_SUITE_P(
    SamplesFormatsCounts, THostJobTest,
    ::testing::Combine(::testing::Values("R360_3.oma", "STHKFMT.oma", "R1000_1.oma"),
                       ::testing::Values(1, 2, 3, 4), ::testing::Values(400, 500, 512)),
    [](const auto& row) {
        const std::string name = std::get<0>(row.param);
        return name.substr(0, name.find('.')) + "Format" + std::to_string(std::get<1>(row.param)) +
               "Points" + std::to_string(std::get<2>(row.param));
    });

TEST_F(THostSessionTest, ServedSamplesKeepTheirStatedMeasurements) {
    struct {
        const char* Name;
        double HBox, VBox, Circ;
    } rows[] = {{"R360_3.oma", 51.00, 44.01, 150.759}, {"STHKFMT.oma", 54.96, 39.01, 151.761}};
    for (const auto& row : rows) {
        FJobs.Files["5"] = Sample(row.Name);
        THostSession host(FConfig, FJobs);
        auto radii = JobTrace(Exchange(host, JobRequestBody("7", "5", 4, 512)), 512);
        ASSERT_TRUE(radii);
        TTraceInfo trace{*radii};
        MeasureTrace(trace);
        EXPECT_NEAR(trace.HBox, row.HBox, 0.1) << row.Name;
        EXPECT_NEAR(trace.VBox, row.VBox, 0.1) << row.Name;
        EXPECT_NEAR(trace.Circ, row.Circ, 0.3) << row.Name;
    }
}

TEST_F(THostSessionTest, JobRecordsThatWouldBreakTheFramingStayHome) {
    FJobs.Files["9"] = "FOO=1\nB=x\x1dy\nC\x1cX=2\nD=3\nTRCFMT=1;1;E;R;F\nR=2500\n";
    THostSession host(FConfig, FJobs);
    EXPECT_EQ(Exchange(host, JobRequestBody("7", "9", 1, 1)), Expected("host-job-kept-home"));
}

TEST_F(THostSessionTest, RefusesJobsItCannotServe) {
    FJobs.Files["66"] = Sample("TRCFMT6.oma");
    struct {
        std::string Body, Answer, Code, Text;
    } rows[] = {
        {JobRequestBody("7", "9999", 1, 400), "host-tray-not-found", "1",
         "Tray 9999 not found"},
        {JobRequestBody("7", "", 1, 400), "host-no-tray", "1",
         "No tray number"},
        {JobRequestBody("7", "../1234", 1, 400), "host-invalid-tray", "2",
         "Invalid tray number"},
        {JobRequestBody("7", "66", 1, 400), "host-no-usable-trace", "4",
         "Job has no usable trace"},
        {JobRequestBody("7", "1234", 5, 400), "host-unsupported-format", "2",
         "Unsupported trace format"},
        {JobRequestBody("7", "1234", 1, 5000), "host-unsupported-format",
         "2", "Unsupported trace format"},
    };
    for (const auto& row : rows) {
        THostSession host(FConfig, FJobs);
        std::string reply = Exchange(host, row.Body);
        EXPECT_EQ(reply, Expected(row.Answer)) << row.Body;
        EXPECT_TRUE(Matches(R"(ANS\s*=\s*7\D)", reply));
        EXPECT_EQ(JobStatus(reply).Code, row.Code);
        EXPECT_EQ(JobStatus(reply).Text, row.Text);
    }
}

TEST_F(THostSessionTest, AnswersRequestsItDoesNotKnowWithAStatus) {
    // Each packet odd-<name> is answered by the reply host-<name>.
    for (const char* name : {"unknown-request", "job-without-trcfmt", "unknown-device",
                             "unknown-answer", "no-req-or-ans", "unreadable-request",
                             "no-usable-format"}) {
        THostSession host(FConfig, FJobs);
        EXPECT_EQ(Exchange(host, PacketBody("odd-" + std::string(name))),
                  Expected("host-" + std::string(name)))
            << name;
    }
}

class THostStoreTest : public THostSessionTest,
                      public ::testing::WithParamInterface<std::tuple<bool, int, int>> {
protected:
    void SetUp() override {
        THostSessionTest::SetUp();
        FOlder =
            std::filesystem::temp_directory_path() /
            ("trevalon-host-store-" + std::to_string(::getpid()) + "-" + std::to_string(++Serial));
        std::filesystem::create_directories(FOlder);
        std::ofstream(FOlder / "1234.oma", std::ios::binary) << Sample("R360_3.oma");
    }
    void TearDown() override { std::filesystem::remove_all(FOlder); }

    std::filesystem::path FOlder;
    static inline int Serial = 0;
};

TEST_P(THostStoreTest, UploadReplacesTheFirstTraceAndKeepsABackup) {
    auto [noInit, format, count] = GetParam();
    FConfig.PreferFormat = format;
    FConfig.PreferPoints = count;
    TJobFolder jobs(FOlder);
    THostSession host(FConfig, jobs);
    const std::string granted = std::to_string(format) + ";" + std::to_string(count) + ";E;B";
    std::string original = Sample("R360_3.oma");

    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
    std::string ans = noInit ? "TRC" : "8";
    std::string grant;
    if (noInit) {
        grant = Exchange(host, NoInitStoreBody("1234"));
    } else {
        Exchange(host, TracerDescriptionBody());
        grant = Exchange(host, StoreRequestBody("8", "1234"));
    }
    // The golden grant of the No Init store, for this mode and offer.
    EXPECT_EQ(grant, Ack + GoldenFrame(Replaced(Replaced(ReplyBody("grant-noinit-3-500"),
                                                         "ANS=TRC\r", "ANS=" + ans + "\r"),
                                                "TRCFMT=3;500;E;B", "TRCFMT=" + granted)));
    EXPECT_TRUE(Matches(R"(STATUS\s*=\s*0\s*\D+)", grant));

    // The operator's edit of the sample (every radius 0.10 mm larger) in this format, with
    // records of its own; its radii as the format 1 upload of the same edit spells them.
    const std::string edit = "-" + std::to_string(count);
    const std::string edited = UploadRadii("edited-fmt1" + edit);
    ASSERT_EQ(edited.size(), static_cast<std::size_t>(count) * 4);
    std::string verdict =
        Exchange(host, UploadBody("edited-fmt" + std::to_string(format) + edit, ans));
    EXPECT_EQ(verdict, Ack + GoldenFrame(Replaced(ReplyBody("verdict-noinit-1234"), "ANS=TRC\r",
                                                  "ANS=" + ans + "\r")));
    EXPECT_EQ(VerdictStatus(verdict).Code, "0");

    EXPECT_EQ(ReadFile(FOlder / "1234.oma.bak"), original);
    auto stored = TOmaJobFile::Parse(ReadFile(FOlder / "1234.oma"));
    auto trace = stored.FirstTrace();
    EXPECT_EQ(trace.Radii, edited);
    EXPECT_EQ(trace.Fields[0], "1");
    EXPECT_EQ(trace.Fields[1], std::to_string(count));
    EXPECT_EQ(trace.Fields[3], "R");
    std::map<std::string, std::string> values;
    for (const auto& record : stored.Records()) values.emplace(record.Label, record.Value);
    EXPECT_EQ(values["HBOX"], "51.20;51.20");
    EXPECT_EQ(values["DBL"], "18.00");
    EXPECT_EQ(values["NEWREC"], "1");
    EXPECT_EQ(values["JOB"], "L424775600");  // the job's own records stay
    // The left eye's trace is untouched.
    std::string text = ReadFile(FOlder / "1234.oma");
    auto leftTrace = [](const std::string& file) {
        auto at = file.find("TRCFMT=1;360;E;L;F");
        return file.substr(at, file.find("UNI=", at) - at);
    };
    EXPECT_EQ(leftTrace(text), leftTrace(original));
    EXPECT_FALSE(std::filesystem::exists(FOlder / "1234.oma.tmp"));
}

INSTANTIATE_TEST_SUITE_P(ModesFormatsCounts, THostStoreTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1, 2, 3, 4),
                                            ::testing::Values(400, 512)),
                         [](const auto& row) {
                             return std::string(std::get<0>(row.param) ? "NoInit" : "PresetInit") +
                                    "Format" + std::to_string(std::get<1>(row.param)) + "Points" +
                                    std::to_string(std::get<2>(row.param));
                         });

TEST_F(THostSessionTest, RejectsBadUploadsWithATextAndStoresNothing) {
    struct {
        std::string Name;
        bool Grant;  // No Init grant of 4;512 first
        std::string Body;
        std::string Code, Text;
    } rows[] = {
        {"count", false, PacketBody("upload-bad-count"), "4",
         "Trace holds 400 points instead of 512"},
        {"grant", true, UploadBody("sample-fmt1-400", "TRC"), "4",
         "Trace format differs from the grant 4;512;E;B"},
        {"digits", false, PacketBody("upload-bad-digits"), "4",
         "Bad trace data: '25x0' is not a valid integer value"},
        {"no data", false, PacketBody("upload-bad-no-data"), "4", "No trace data"},
        {"format", false, PacketBody("upload-bad-format"), "4", "Missing or unsupported TRCFMT"},
        {"tray", false, UploadBody("sample-fmt1-400", "TRC", "4321"), "1", "Tray 4321 not found"},
        {"range", false, PacketBody("upload-bad-range"), "4", ""},
    };
    FConfig.KnownJobsOnly = true;
    for (const auto& row : rows) {
        THostSession host(FConfig, FJobs);
        if (row.Grant) Exchange(host, NoInitStoreBody("1234"));
        std::string verdict = Exchange(host, row.Body);
        auto status = VerdictStatus(verdict);
        EXPECT_EQ(status.Code, row.Code) << row.Name;
        if (!row.Text.empty()) {
            EXPECT_EQ(status.Text, row.Text) << row.Name;
        }
        EXPECT_FALSE(status.Text.empty()) << row.Name;
    }
    EXPECT_EQ(FJobs.Saves, 0);
}

// A lab whose host is its own job store: a tracer's upload for a tray without
// a job creates the job with the uploaded trace; names that could not be
// file names are refused and nothing is written.
TEST_F(THostSessionTest, AnUploadForANewTrayCreatesItsJob) {
    THostSession host(FConfig, FJobs);
    const std::string granted = Exchange(host, NoInitStoreBody("4321"));
    EXPECT_EQ(VerdictStatus(granted).Code, "0") << granted;
    THostSession tracer(FConfig, FJobs);
    const std::string verdict = Exchange(tracer, UploadBody("sample-fmt1-400", "TRC", "4321"));
    EXPECT_EQ(VerdictStatus(verdict).Code, "0") << verdict;
    ASSERT_EQ(FJobs.Files.count("4321"), 1u);
    const TOmaJobFile job = TOmaJobFile::Parse(FJobs.Files["4321"]);
    EXPECT_EQ(job.FirstTrace().Radii, UploadRadii("sample-fmt1-400"));
    EXPECT_EQ(FJobs.Files["4321"].rfind("JOB=4321\r\n", 0), 0u) << FJobs.Files["4321"];
    EXPECT_NE(FJobs.Files["4321"].find("\r\nTRCFMT=1;400;E;R;F\r\n"), std::string::npos);

    for (const std::string& tray : std::vector<std::string>{"../x", "a/b", "a\\b", "x\"y", "..", "a\x01" "b", "C:x", "a b",
                                   std::string(41, '7')}) {
        const std::string refused = Exchange(tracer, UploadBody("sample-fmt1-400", "TRC", tray));
        EXPECT_EQ(VerdictStatus(refused).Code, "2") << tray;
        EXPECT_EQ(VerdictStatus(refused).Text, "Invalid tray number: letters, digits, - and _ only")
            << tray;
    }
    EXPECT_EQ(FJobs.Saves, 1);
    EXPECT_EQ(FJobs.Files.size(), 2u);

    FConfig.KnownJobsOnly = true;
    THostSession strict(FConfig, FJobs);
    EXPECT_EQ(VerdictStatus(Exchange(strict, NoInitStoreBody("5555"))).Code, "1");
    EXPECT_EQ(VerdictStatus(Exchange(strict, UploadBody("sample-fmt1-400", "TRC", "5555"))).Text,
              "Tray 5555 not found");
    EXPECT_EQ(FJobs.Saves, 1);
}

TEST_F(THostSessionTest, RefusedOrFailedStoresAnswerWithTheirText) {
    const std::string upload = UploadBody("sample-fmt1-400", "TRC");

    FConfig.Faults.RefuseStore = true;
    THostSession refusing(FConfig, FJobs);
    std::string verdict = Exchange(refusing, upload);
    EXPECT_EQ(verdict, Expected("host-store-locked"));
    EXPECT_EQ(VerdictStatus(verdict).Text, "Job locked");

    FConfig.Faults.RefuseStore = false;
    FJobs.FailSave = true;
    THostSession failing(FConfig, FJobs);
    EXPECT_EQ(Exchange(failing, upload), Expected("host-cannot-store"));
    EXPECT_EQ(FJobs.Saves, 0);
    EXPECT_EQ(FJobs.Files["1234"], Sample("R360_3.oma"));
}

// Sessions served at once share the trays being stored: while one session
// holds a grant for a tray, another's upload for it is refused as locked and
// stores nothing; the tray is free again after the holder's next
// initialization or its end.
TEST_F(THostSessionTest, ASecondSessionStoringTheSameTrayIsToldItIsLocked) {
    const std::string upload = UploadBody("sample-fmt1-400", "TRC");
    TTrayLocks locks;
    THostSession second(FConfig, FJobs, &locks);
    {
        THostSession first(FConfig, FJobs, &locks);
        Exchange(first, InitBody());
        ASSERT_EQ(VerdictStatus(Exchange(first, NoInitStoreBody("1234"))).Code, "0");
        EXPECT_EQ(Exchange(second, upload), Expected("host-store-locked"));
        EXPECT_EQ(FJobs.Saves, 0);
        // Another tray is not held.
        FJobs.Files["77"] = Sample("R360_3.oma");
        EXPECT_EQ(VerdictStatus(Exchange(second, UploadBody("sample-fmt1-400", "TRC", "77"))).Code,
                  "0");
        Exchange(first, InitBody());
        EXPECT_EQ(VerdictStatus(Exchange(second, upload)).Code, "0");
        EXPECT_EQ(FJobs.Saves, 2);
        ASSERT_EQ(VerdictStatus(Exchange(first, NoInitStoreBody("1234"))).Code, "0");
        EXPECT_EQ(Exchange(second, upload), Expected("host-store-locked"));
    }
    EXPECT_EQ(VerdictStatus(Exchange(second, upload)).Code, "0");
    EXPECT_EQ(FJobs.Saves, 3);
}

TEST_F(THostSessionTest, FaultsChangeOnlyTheBytesOfTheirKind) {
    const std::string body = JobRequestBody("7", "1234", 1, 400);
    THostSession plain(FConfig, FJobs);
    const std::string packet = plain.Feed(GoldenFrame(body)).front().Bytes().substr(1);
    ASSERT_EQ(packet.back(), GS);

    auto job = static_cast<std::size_t>(TReplyKind::rkJob);
    auto run = [&](auto setFault) {
        THostConfig config;
        setFault(config.Faults);
        THostSession host(config, FJobs);
        EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
        return host.Feed(GoldenFrame(body)).front();
    };

    auto silent = run([&](THostFaults& f) { f.Silent[job] = true; });
    EXPECT_TRUE(silent.Chunks.empty());

    auto dropped = run([&](THostFaults& f) { f.DropGS[job] = true; });
    EXPECT_EQ(dropped.Bytes(), Ack + packet.substr(0, packet.size() - 1));

    auto noisy = run([&](THostFaults& f) { f.Noise[job] = true; });
    EXPECT_EQ(noisy.Bytes(), Ack + std::string(NoiseBytes) + packet);
    EXPECT_EQ(NoiseBytes.size(), 12u);
    EXPECT_EQ(NoiseBytes.find_first_of("\x1c\x1d\x1e"), std::string_view::npos);

    auto split = run([&](THostFaults& f) {
        f.Split[job] = true;
        f.SplitPieces = 4;
        f.SplitGapMs = 50;
    });
    ASSERT_EQ(split.Chunks.size(), 5u);
    EXPECT_EQ(split.Bytes(), Ack + packet);
    for (std::size_t i = 0; i < split.Chunks.size(); ++i)
        EXPECT_EQ(split.Chunks[i].GapMs, i < 2 ? 0u : 50u);

    auto hungUp = run([&](THostFaults& f) { f.HangUp[job] = true; });
    EXPECT_TRUE(hungUp.HangUp);
    EXPECT_EQ(hungUp.Bytes(), Ack + packet.substr(0, packet.size() / 2));

    auto status = run([&](THostFaults& f) { f.Status[job] = TStatusFault{2, "Job on hold"}; });
    EXPECT_EQ(status.Bytes(), Expected("host-job-on-hold"));
    EXPECT_EQ(JobStatus(status.Bytes()).Text, "Job on hold");
}

TEST_F(THostSessionTest, StatusFaultOnTheVerdictStoresNothing) {
    FConfig.Faults.Status[static_cast<std::size_t>(TReplyKind::rkVerdict)] =
        TStatusFault{9, "Disk \"full\"\r"};
    THostSession host(FConfig, FJobs);
    std::string verdict = Exchange(host, UploadBody("sample-fmt1-400", "TRC"));
    EXPECT_EQ(verdict, Expected("host-disk-full"));
    EXPECT_EQ(FJobs.Saves, 0);
}

TEST_F(THostSessionTest, HearsOnlyAtItsBaudRates) {
    FConfig.HearBauds = {38400, 57600};
    THostSession host(FConfig, FJobs);
    auto unheard = host.Feed(PacketFile("probe"), 9600);
    ASSERT_EQ(unheard.size(), 1u);
    EXPECT_TRUE(unheard.front().Chunks.empty());
    EXPECT_EQ(Exchange(host, ProbeBody(), 38400), Expected("init-fmt1"));
    EXPECT_EQ(Exchange(host, ProbeBody(), 0), Expected("init-fmt1"));
    EXPECT_EQ(host.Exchanges(), 3u);
}

TEST_F(THostSessionTest, ReadsPacketsHoweverTheyArrive) {
    THostSession host(FConfig, FJobs);
    const std::string init = PacketFile("init");
    // Byte by byte, after the client's ACK and some noise.
    std::size_t replies = host.Feed(std::string("\x06\x15junk\r\n")).size();
    for (char c : init) replies += host.Feed(std::string_view(&c, 1)).size();
    EXPECT_EQ(replies, 1u);
    // Two in one read; a packet abandoned by a new FS is dropped.
    auto two = host.Feed(init + init.substr(0, 7) + init);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].Bytes(), Expected("init-fmt1"));
}

TEST_F(THostSessionTest, BrokenPacketsGetAStatus) {
    THostSession host(FConfig, FJobs);
    EXPECT_EQ(host.Feed(PacketFile("init-padded-crc")).front().Bytes(), Expected("init-fmt1"));
    // A packet without a checksum record is taken as it came.
    EXPECT_EQ(host.Feed(PacketFile("probe-no-checksum")).front().Bytes(), Expected("init-fmt1"));
    EXPECT_EQ(host.Feed(PacketFile("empty-no-checksum")).front().Bytes(),
              Expected("host-no-req-or-ans"));

    std::string flood(1, FS);
    flood.append(MaxClientPacket + 1000, 'A');
    flood += GS;
    EXPECT_EQ(host.Feed(flood).front().Bytes(), Expected("host-packet-too-long"));
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
}

// The number of bits in which two byte strings of one length differ.
int BitsApart(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return -1;
    int bits = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (unsigned x = static_cast<unsigned char>(a[i] ^ b[i]); x; x >>= 1) bits += x & 1;
    return bits;
}

// Where two byte strings of one length first differ.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
}

TEST_F(THostSessionTest, ADamagedPacketGetsANakAndIsNotRead) {
    THostSession host(FConfig, FJobs);
    const std::string nak(1, NAK);
    EXPECT_EQ(host.Feed(PacketFile("init-wrong-crc")).front().Bytes(), nak);
    // One bit flipped in the records, in the trace and in the checksum digits
    // of an upload of tray 1234 (whose job exists): each gets NAK, and the job
    // file stays as it was.
    const std::string upload = PacketFile("upload-sample-fmt4-400");
    const std::size_t rs = upload.rfind(RS);
    for (const std::size_t at :
         {upload.find("JOB=") + 1, upload.find("R=") + 40, upload.find("CRC=", rs) + 5}) {
        std::string damaged = upload;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
        const auto replies = host.Feed(damaged);
        ASSERT_EQ(replies.size(), 1u) << at;
        EXPECT_EQ(replies.front().Bytes(), nak) << at;
        EXPECT_EQ(FJobs.Files["1234"], Sample("R360_3.oma")) << at;
    }
    // The intact packet after them is answered.
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
    EXPECT_EQ(host.Stored(), 0u);
}

TEST_F(THostSessionTest, ANakGetsTheLastPacketAgainTwiceThenTheExchangeIsGivenUp) {
    THostSession host(FConfig, FJobs);
    const std::string nak(1, NAK);
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
    for (int resend = 1; resend <= 2; ++resend) {
        const auto again = host.Feed(nak);
        ASSERT_EQ(again.size(), 1u) << resend;
        // The packet alone: the NAK answered it, not a request.
        EXPECT_EQ(again.front().Bytes(), ReplyFile("init-fmt1")) << resend;
        EXPECT_EQ(again.front().Kind, TReplyKind::rkInit);
    }
    const auto givenUp = host.Feed(nak);
    ASSERT_EQ(givenUp.size(), 1u);
    EXPECT_TRUE(givenUp.front().Chunks.empty());
    EXPECT_NE(givenUp.front().Note.find("given up"), std::string::npos) << givenUp.front().Note;
    EXPECT_TRUE(host.Feed(nak).empty());

    // An ACK, or the client's next packet, ends what a NAK may ask for.
    EXPECT_EQ(Exchange(host, EdgerDescriptionBody()), Expected("edger-fmt4"));
    EXPECT_TRUE(host.Feed(Ack + nak).empty());
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
    const auto next = host.Feed(nak + GoldenFrame(InitBody()) + nak);
    ASSERT_EQ(next.size(), 3u);
    EXPECT_EQ(next[0].Bytes(), ReplyFile("init-fmt1"));
    EXPECT_EQ(next[1].Bytes(), Expected("init-fmt1"));
    EXPECT_EQ(next[2].Bytes(), ReplyFile("init-fmt1"));
    // A NAK before anything was sent, or inside a packet, asks for nothing.
    THostSession fresh(FConfig, FJobs);
    EXPECT_TRUE(fresh.Feed(nak).empty());
    EXPECT_EQ(fresh.Feed(GoldenFrame("REQ=INI\rX=" + nak + "\r")).size(), 1u);
}

TEST_F(THostSessionTest, CorruptDamagesOneBitOfTheNthPacketAndResendsItIntact) {
    FJobs.Files["R360_3"] = Sample("R360_3.oma");
    FConfig.Faults.CorruptPacket = 3;
    THostSession host(FConfig, FJobs);
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt4"));
    EXPECT_EQ(Exchange(host, EdgerDescriptionBody()), Expected("edger-fmt4"));
    const std::string damaged = Exchange(host, JobRequestBody("7", "R360_3", 4, 360));
    const std::string intact = Expected("job-fmt4");
    EXPECT_EQ(BitsApart(damaged, intact), 1);
    // The bit is inside the trace, and the checksum tells.
    const std::size_t at = FirstDifference(damaged, intact);
    EXPECT_GT(at, intact.rfind("R="));
    EXPECT_LT(at, intact.rfind(RS));
    EXPECT_EQ(CheckPacket(damaged.substr(1)).Kind, TPacketCheck::ckBad);
    const auto again = host.Feed(std::string(1, NAK));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.front().Bytes(), ReplyFile("job-fmt4"));
}

TEST_F(THostSessionTest, CorruptAlwaysDamagesEveryPacketAndEveryResend) {
    FConfig.Faults.CorruptAlways = true;
    THostSession host(FConfig, FJobs);
    const std::string damaged = Exchange(host, InitBody());
    const std::string intact = Expected("init-fmt1");
    EXPECT_EQ(BitsApart(damaged, intact), 1);
    EXPECT_LT(FirstDifference(damaged, intact), intact.rfind(RS));
    EXPECT_EQ(CheckPacket(damaged.substr(1)).Kind, TPacketCheck::ckBad);
    for (int resend = 1; resend <= 2; ++resend) {
        const auto again = host.Feed(std::string(1, NAK));
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(again.front().Bytes(), damaged.substr(1)) << resend;
    }
    EXPECT_TRUE(host.Feed(std::string(1, NAK)).front().Chunks.empty());
    EXPECT_EQ(BitsApart(Exchange(host, EdgerDescriptionBody()), Expected("edger-fmt1")), 1);
}

TEST(FlipOneBitTest, FlipsOneByteOfTheTraceOrRecordsAndNeverAFramingByte) {
    // From the middle of the records on; else the first byte that may flip;
    // nothing to flip leaves the packet alone.
    const std::string packet =
        std::string(1, FS) + "A=1\r" + std::string(8, LF) + RS + "CRC=5\r" + GS;
    std::string flipped = FlipOneBit(packet);
    EXPECT_EQ(BitsApart(flipped, packet), 1);
    EXPECT_EQ(FirstDifference(flipped, packet), 1u);
    // A control byte whose flip would make a framing one, and an escaped
    // byte, are passed over.
    const std::string later =
        std::string(1, FS) + "A=1\r" + "\x0c\x0c\x1b\x91X" + RS + "CRC=5\r" + GS;
    EXPECT_EQ(FirstDifference(FlipOneBit(later), later), later.find('X'));
    const std::string none = std::string(1, FS) + "\r\r" + RS + "CRC=5\r" + GS;
    EXPECT_EQ(FlipOneBit(none), none);
    // In a job reply the bit is in the trace, whatever its format.
    for (const std::string name : {"job-fmt1", "job-fmt2", "job-fmt3", "job-fmt4"}) {
        const std::string reply = ReplyFile(name);
        const std::string damaged = FlipOneBit(reply);
        EXPECT_EQ(BitsApart(damaged, reply), 1) << name;
        EXPECT_GT(FirstDifference(damaged, reply), reply.rfind("R=")) << name;
        EXPECT_EQ(CheckPacket(damaged).Kind, TPacketCheck::ckBad) << name;
    }
}

TEST_F(THostSessionTest, EveryPrefixAndBitFlipOfAnUploadIsAnsweredSafely) {
    for (int format : {1, 3, 4}) {
        std::string body = UploadBody("sample-fmt" + std::to_string(format) + "-400", "TRC");
        for (std::size_t n = 0; n <= body.size(); n += (format == 1 ? 7 : 1)) {
            THostSession host(FConfig, FJobs);
            auto replies = host.Feed(GoldenFrame(body.substr(0, n)));
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_NE(replies.front().Bytes().find("STATUS="), std::string::npos);
        }
        for (std::size_t i = body.find("R="); i < body.size(); i += 3) {
            std::string flipped = body;
            flipped[i] = static_cast<char>(flipped[i] ^ 0x55);
            THostSession host(FConfig, FJobs);
            EXPECT_NE(host.Feed(GoldenFrame(flipped)).front().Bytes().find("STATUS="),
                      std::string::npos);
        }
    }
}

TEST_F(THostSessionTest, RandomLineRubbishNeverBreaksTheHost) {
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> byte(0, 255);
    THostSession host(FConfig, FJobs);
    for (int round = 0; round < 300; ++round) {
        std::string rubbish(static_cast<std::size_t>(byte(random)) * 4, '\0');
        for (auto& c : rubbish) c = static_cast<char>(byte(random) < 8 ? FS : byte(random));
        // A packet, after its ACK or resent on NAK; a NAK for a damaged one;
        // or only a note when the host gives an exchange up.
        for (const auto& reply : host.Feed(rubbish)) {
            const std::string bytes = reply.Bytes();
            if (bytes.empty() || bytes == std::string(1, NAK)) continue;
            EXPECT_EQ(bytes.substr(bytes.front() == ACK ? 1 : 0, 1), std::string(1, FS));
            EXPECT_EQ(bytes.back(), GS);
        }
    }
    EXPECT_EQ(Exchange(host, InitBody()), Expected("init-fmt1"));
}

}  // namespace
