#include <gtest/gtest.h>

#include <unistd.h>

#include "ClientPackets.h"
#include "oma/JobFile.h"
#include "oma/OmaErrors.h"
#include "oma/OmaTrace.h"
#include "tools/HostOptions.h"
#include "tools/JobFile.h"

#include <algorithm>
#include <vector>

using namespace client;

// The simulator keeps its jobs with the program's own job files: the tests
// here hold what the host relies on (tests/files has the rest).
TEST(JobFileTest, TextRoundTripsByteForByte) {
    for (const char* name :
         {"R360_1.oma", "R360_3.oma", "R1000_1.oma", "STHKFMT.oma", "TRCFMT6.oma"}) {
        std::string text = Sample(name);
        EXPECT_EQ(TOmaJobFile::Parse(text).Text(), text) << name;
    }
    for (std::string text : {"A=1\r\nB=2\r\n", "A=1\rB=2\r", "A=1\nB=2", "A=1\n\nB=2\n", ""})
        EXPECT_EQ(TOmaJobFile::Parse(text).Text(), text);
}

TEST(JobFileTest, FirstTraceIsTheRightEye) {
    struct {
        const char* Name;
        int Count;
        const char* First;
        const char* Side;
    } rows[] = {{"R360_3.oma", 360, "2482", "R"},
                {"R1000_1.oma", 1000, "2416", "R"},
                {"STHKFMT.oma", 360, "2574", "R"}};
    for (const auto& row : rows) {
        auto trace = TOmaJobFile::Parse(Sample(row.Name)).FirstTrace();
        EXPECT_EQ(trace.Radii.size(), static_cast<std::size_t>(row.Count) * 4) << row.Name;
        EXPECT_EQ(trace.Radii.substr(0, 4), row.First) << row.Name;
        EXPECT_EQ(trace.Fields.at(3), row.Side);
        EXPECT_EQ(trace.Eye, row.Side);
    }
}

TEST(JobFileTest, UnreadableTracesAreReported) {
    struct {
        std::string Text, Message;
    } rows[] = {
        {Sample("TRCFMT6.oma"), "Trace type 6 is unsupported"},
        {"HBOX=1\n", "Cannot find trace data"},
        {"TRCFMT=1\nR=2500\n", "Cannot read a trace of 0 points (1 to 4096)"},
        {"TRCFMT=1;3;E;R;F\nR=2500;2500\n", "Trace contains 2 points, but number of points is 3"},
        {"TRCFMT=1;x;E;R;F\nR=2500\n", "Cannot read a trace of 0 points (1 to 4096)"},
        {"TRCFMT=1;2;E;R;F\nR=2500;12345\n", "Invalid trace data: point 2 has the value 12345"},
        {"TRCFMT=1;9999;E;R;F\nR=2500\n", "Cannot read a trace of 9999 points (1 to 4096)"},
    };
    for (const auto& row : rows) {
        try {
            TOmaJobFile::Parse(row.Text).FirstTrace();
            ADD_FAILURE() << row.Text;
        } catch (const EOmaJobFile& e) {
            EXPECT_EQ(e.what(), row.Message);
        } catch (const EOmaFormat& e) {
            EXPECT_EQ(e.what(), row.Message);
        }
    }
    // Values need not be padded, and a format 2 trace is read too.
    EXPECT_EQ(TOmaJobFile::Parse("TRCFMT=1;3;E;R;F\nR=25; 2500;0\n").FirstTrace().Radii,
              "002525000000");
    // 2500 is 0x09C4: low byte first.
    EXPECT_EQ(TOmaJobFile::Parse("TRCFMT=2;1;E;R;F\nR=\xC4\x09\n")
                  .FirstTrace()
                  .Radii,
              "2500");
}

TEST(JobFileTest, SetRecordReplacesInPlaceOrAddsBeforeTheTrace) {
    auto job = TOmaJobFile::Parse("JOB=1\nHBOX=1;1\nTRCFMT=1;1;E;R;F\nR=2500\nDBL=17\n");
    job.SetRecord("hbox", "52.30;52.30");
    job.SetRecord("DBL", "18.00");
    job.SetRecord("FTYP", "2");
    EXPECT_EQ(job.Text(), "JOB=1\nHBOX=52.30;52.30\nFTYP=2\nTRCFMT=1;1;E;R;F\nR=2500\nDBL=18.00\n");
    auto plain = TOmaJobFile::Parse("JOB=1");
    plain.SetRecord("DBL", "18.00");
    EXPECT_EQ(plain.Text(), "JOB=1\nDBL=18.00");
    ASSERT_EQ(job.Records().size(), 4u);
    EXPECT_EQ(job.Records()[1].Label, "HBOX");
    // The empty value removes every record of its label.
    auto twice = TOmaJobFile::Parse("X=1\nY=2\nx=3\n");
    twice.SetRecord("X", "");
    EXPECT_EQ(twice.Text(), "Y=2\n");
}

TEST(JobFileTest, ReplaceFirstTraceKeepsTheOtherEyeAndTheZData) {
    std::string text =
        "JOB=1\r\nTRCFMT=1;2;E;R;F\r\nR=2500;2500\r\nZFMT=1\r\nZ=1;1\r\n"
        "TRCFMT=1;1;E;L;F\r\nR=2400\r\nDBL=17\r\n";
    auto job = TOmaJobFile::Parse(text);
    std::string radii;
    for (int i = 0; i < 12; ++i) radii += "2" + std::to_string(100 + i);
    job.ReplaceFirstTrace(1, radii);
    EXPECT_EQ(job.Text(),
              "JOB=1\r\nTRCFMT=1;12;E;R;F\r\n"
              "R=2100;2101;2102;2103;2104;2105;2106;2107;2108;2109\r\nR=2110;2111\r\n"
              "ZFMT=1\r\nZ=1;1\r\nTRCFMT=1;1;E;L;F\r\nR=2400\r\nDBL=17\r\n");
    EXPECT_EQ(job.FirstTrace().Radii, radii);

    auto empty = TOmaJobFile::Parse("JOB=1\n");
    empty.ReplaceFirstTrace(1, "2500");
    EXPECT_EQ(empty.Text(), "JOB=1\nTRCFMT=1;1;E;R;F\nR=2500\n");
}

TEST(JobFileTest, TheHostServesRecordsButNoDataBlocks) {
    // STHKFMT.oma's thickness blocks are data, not records of the job.
    const std::vector<TJobRecord> records = TOmaJobFile::Parse(Sample("STHKFMT.oma")).Records();
    for (const TJobRecord& record : records) {
        EXPECT_NE(record.Label, "STHKFMT");
        EXPECT_NE(record.Label, "T");
        EXPECT_NE(record.Label, "R");
        EXPECT_NE(record.Label, "TRCFMT");
    }
    EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                            [](const TJobRecord& r) { return r.Label == "TEXT_11" && r.Value == " ;"; }));
}

TEST(JobFileTest, SafeTrays) {
    for (const char* tray : {"1234", "L424775600", "a-b_c", "0"}) EXPECT_TRUE(IsSafeTray(tray));
    for (std::string tray : std::vector<std::string>{"", "../1", "a/b", "a.oma", "a b", "\"1\"",
                                                     std::string(41, '1'), std::string("1\0", 2)})
        EXPECT_FALSE(IsSafeTray(tray)) << tray;
}

TEST(JobFileTest, FolderKeepsThePreviousVersion) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("trevalon-host-folder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    TJobFolder jobs(folder);
    EXPECT_FALSE(jobs.Load("1").has_value());
    jobs.Save("1", "A=1\n");
    EXPECT_EQ(jobs.Load("1"), "A=1\n");
    EXPECT_FALSE(std::filesystem::exists(jobs.BackupPath("1")));
    jobs.Save("1", "A=2\n");
    jobs.Save("1", "A=3\n");
    EXPECT_EQ(jobs.Load("1"), "A=3\n");
    EXPECT_EQ(ReadFile(jobs.BackupPath("1")), "A=2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);

    std::filesystem::remove_all(folder);
    EXPECT_THROW(jobs.Save("1", "A=4\n"), EJobFile);
}

TEST(HostOptionsTest, ReadsEveryOption) {
    auto options = ParseHostOptions({"--jobs",
                                     "/j",
                                     "--link=/tmp/l",
                                     "--format",
                                     "2",
                                     "--points=500",
                                     "--insist",
                                     "--pace",
                                     "9600",
                                     "--hear-bauds",
                                     "38400,57600",
                                     "--def",
                                     "12",
                                     "--tracer-def",
                                     "T1",
                                     "--silent",
                                     "init,grant",
                                     "--drop-gs",
                                     "job",
                                     "--noise",
                                     "all",
                                     "--split",
                                     "verdict",
                                     "--pieces",
                                     "5",
                                     "--gap",
                                     "10",
                                     "--hang-up",
                                     "edger",
                                     "--status",
                                     "job:2:On: hold",
                                     "--refuse-store",
                                     "--corrupt",
                                     "3",
                                     "--corrupt-always",
                                     "--exchanges",
                                     "4",
                                     "--idle-exit",
                                     "1500",
                                     "--log",
                                     "/tmp/x.log"});
    const auto& host = options.Host;
    const auto& faults = host.Faults;
    auto at = [](TReplyKind kind) { return static_cast<std::size_t>(kind); };
    EXPECT_EQ(options.JobsDir, "/j");
    EXPECT_EQ(options.LinkPath, "/tmp/l");
    EXPECT_EQ(host.PreferFormat, 2);
    EXPECT_EQ(host.PreferPoints, 500);
    EXPECT_TRUE(host.Insist);
    EXPECT_EQ(options.PaceBaud, 9600u);
    EXPECT_EQ(host.HearBauds, (std::set<unsigned>{38400, 57600}));
    EXPECT_EQ(host.EdgerDef, "12");
    EXPECT_EQ(host.TracerDef, "T1");
    EXPECT_TRUE(faults.Silent[at(TReplyKind::rkInit)] && faults.Silent[at(TReplyKind::rkGrant)]);
    EXPECT_FALSE(faults.Silent[at(TReplyKind::rkJob)]);
    EXPECT_TRUE(faults.DropGS[at(TReplyKind::rkJob)]);
    for (bool noisy : faults.Noise) EXPECT_TRUE(noisy);
    EXPECT_TRUE(faults.Split[at(TReplyKind::rkVerdict)]);
    EXPECT_EQ(faults.SplitPieces, 5u);
    EXPECT_EQ(faults.SplitGapMs, 10u);
    EXPECT_TRUE(faults.HangUp[at(TReplyKind::rkEdger)]);
    ASSERT_TRUE(faults.Status[at(TReplyKind::rkJob)].has_value());
    EXPECT_EQ(faults.Status[at(TReplyKind::rkJob)]->Code, 2);
    EXPECT_EQ(faults.Status[at(TReplyKind::rkJob)]->Text, "On: hold");
    EXPECT_TRUE(faults.RefuseStore);
    EXPECT_EQ(faults.CorruptPacket, 3u);
    EXPECT_TRUE(faults.CorruptAlways);
    EXPECT_EQ(options.MaxExchanges, 4u);
    EXPECT_EQ(options.IdleExitMs, 1500u);
    EXPECT_EQ(options.LogPath, "/tmp/x.log");
}

TEST(HostOptionsTest, ListensOnLoopbackUnlessAnAddressIsGiven) {
    const THostOptions plain = ParseHostOptions({"--jobs", "/j", "--listen", "4001"});
    EXPECT_TRUE(plain.Listen);
    EXPECT_EQ(plain.ListenAddress, "127.0.0.1");
    EXPECT_EQ(plain.ListenPort, 4001);
    const THostOptions v6 = ParseHostOptions({"--jobs", "/j", "--listen", "[::1]:0"});
    EXPECT_EQ(v6.ListenAddress, "::1");
    EXPECT_EQ(v6.ListenPort, 0);
    const THostOptions any = ParseHostOptions({"--jobs", "/j", "--listen=0.0.0.0:23"});
    EXPECT_EQ(any.ListenAddress, "0.0.0.0");
    EXPECT_EQ(any.ListenPort, 23);
}

TEST(HostOptionsTest, ServesSeveralLinesBesideAListener) {
    const THostOptions one = ParseHostOptions({"--jobs", "/j", "--link", "/l"});
    EXPECT_FALSE(ServesMany(one));
    const THostOptions lab =
        ParseHostOptions({"--jobs", "/j", "--link", "/l", "--listen", "0", "--link", "/m",
                          "--device", "/d", "--idle-timeout", "3000", "--brief-log"});
    EXPECT_TRUE(ServesMany(lab));
    EXPECT_EQ(lab.LinkPath, "/l");
    EXPECT_EQ(lab.MoreLinks, std::vector<std::string>{"/m"});
    EXPECT_EQ(lab.DevicePath, "/d");
    EXPECT_TRUE(lab.MoreDevices.empty());
    EXPECT_EQ(lab.SessionIdleMs, 3000u);
    EXPECT_EQ(lab.MaxSessions, 64u);
    EXPECT_TRUE(lab.BriefLog);
    EXPECT_TRUE(ServesMany(ParseHostOptions({"--jobs", "/j", "--link", "/l", "--link", "/m"})));
    EXPECT_TRUE(ServesMany(ParseHostOptions({"--jobs", "/j", "--listen", "0"})));
}

// A service reads its options from a file: one a line, names without dashes,
// comments and blanks skipped; options after --config override the file's.
TEST(HostOptionsTest, ReadsOptionsFromAConfigFile) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("trevalon-host-config-" + std::to_string(::getpid()) + ".conf");
    std::ofstream(path, std::ios::binary) << "# the lab's host\n"
                                             "jobs /var/lib/trevalon-host\r\n"
                                             "listen = 0.0.0.0:4100   # every interface\n"
                                             "\n"
                                             "  allow 192.168.1.0/24\n"
                                             "--allow=10.0.0.7\n"
                                             "brief-log\n"
                                             "idle-timeout 600000\n";
    const THostOptions options =
        ParseHostOptions({"--config", path.string(), "--idle-timeout", "5000"});
    EXPECT_EQ(options.JobsDir, "/var/lib/trevalon-host");
    EXPECT_EQ(options.ListenAddress, "0.0.0.0");
    EXPECT_EQ(options.ListenPort, 4100);
    EXPECT_EQ(options.Allow, (std::vector<std::string>{"192.168.1.0/24", "10.0.0.7"}));
    EXPECT_TRUE(options.BriefLog);
    EXPECT_EQ(options.SessionIdleMs, 5000u);

    std::ofstream(path, std::ios::binary) << "jobs /j\nlisten 0\nallow lab-pc\n";
    try {
        ParseHostOptions({"--config=" + path.string()});
        ADD_FAILURE() << "a bad value in the file was taken";
    } catch (const EUsage& e) {
        EXPECT_STREQ(e.what(), "--allow needs a numeric address with an optional /PREFIX, not 'lab-pc'");
    }
    std::filesystem::remove(path);
    try {
        ParseHostOptions({"--config", path.string()});
        ADD_FAILURE() << "a missing file was taken";
    } catch (const EUsage& e) {
        EXPECT_EQ(std::string(e.what()), "--config: cannot read " + path.string());
    }
}

TEST(HostOptionsTest, RefusesWhatItCannotFollow) {
    struct {
        std::vector<std::string> Args;
        const char* Message;
    } rows[] = {
        {{"--link", "/l"}, "--jobs is required"},
        {{"--jobs", "/j"}, "give --link, --device or --listen"},
        {{"--replay", "/r", "--link", "/l", "--device", "/d"},
         "--replay plays one line: give one of --link, --device and --listen"},
        {{"--replay", "/r", "--link", "/l", "--listen", "4001"},
         "--replay plays one line: give one of --link, --device and --listen"},
        {{"--replay", "/r", "--link", "/l", "--link", "/m"},
         "--replay plays one line: give one of --link, --device and --listen"},
        {{"--jobs", "/j", "--listen", "0", "--max-sessions", "0"},
         "--max-sessions needs a number from 1 to 10000, not '0'"},
        {{"--jobs", "/j", "--listen", "65536"},
         "--listen needs a number from 0 to 65535, not '65536'"},
        {{"--jobs", "/j", "--listen", "::1:80"},
         "--listen: an IPv6 address goes in brackets, [::1]:PORT"},
        {{"--jobs", "/j", "--link", "/l", "--format", "5"},
         "--format needs a number from 1 to 4, not '5'"},
        {{"--jobs", "/j", "--link", "/l", "--points", "x"},
         "--points needs a number from 1 to 4096, not 'x'"},
        {{"--jobs", "/j", "--link", "/l", "--def", "A7"}, "--def needs up to 8 digits"},
        {{"--jobs", "/j", "--link", "/l", "--tracer-def", "TRC"},
         "--tracer-def needs up to 20 letters and digits, neither INI nor TRC"},
        {{"--jobs", "/j", "--link", "/l", "--def", "8"}, "--def and --tracer-def must differ"},
        {{"--jobs", "/j", "--link", "/l", "--silent", "jobs"},
         "--silent: unknown reply kind 'jobs'"},
        {{"--jobs", "/j", "--link", "/l", "--status", "job"}, "--status needs KIND:CODE[:TEXT]"},
        {{"--jobs", "/j", "--link", "/l", "--insist=1"}, "--insist takes no value"},
        {{"--jobs", "/j", "--link"}, "--link needs a value"},
        {{"--jobs", "/j", "--link", "/l", "-x"}, "unknown option '-x'"},
    };
    for (const auto& row : rows) {
        try {
            ParseHostOptions(row.Args);
            ADD_FAILURE() << row.Message;
        } catch (const EUsage& e) {
            EXPECT_STREQ(e.what(), row.Message);
        }
    }
    EXPECT_TRUE(ParseHostOptions({"--help"}).Help);
}
