// trevalon-cli as a lab script runs it: against trevalon-host on a
// pseudo-terminal, and on the sample job files. Expected figures are the
// samples' own stated measurements.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "job/Job.h"
#include "tests/support/GoldenEdits.h"
#include "tests/support/LoopbackPort.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TResult {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

std::ostream& operator<<(std::ostream& out, const TResult& result) {
    return out << "exit " << result.Exit << "\nstdout:\n" << result.Out << "stderr:\n" << result.Err;
}

class TCliProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() /
               ("trevalon-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FDir);
        fs::create_directories(FDir / "jobs");
        fs::copy_file(fs::path(TREVALON_SAMPLES_DIR) / "R360_3.oma", FDir / "jobs" / "1234.oma");
        fs::copy_file(fs::path(TREVALON_SAMPLES_DIR) / "R360_3.oma", FDir / "R360_3.oma");
        FLink = FDir / "line";
        std::ofstream(FDir / "settings.dat", std::ios::binary)
            << "Port=" << FLink.string() << "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\n"
            << "StopBits=1\r\nTracerMode=Init\r\nPauseMode=N\r\n";
    }

    void TearDown() override {
        for (const pid_t host : {FSer2net, FHost, FNetHost}) {
            if (host <= 0) continue;
            kill(host, SIGTERM);
            int status = 0;
            waitpid(host, &status, 0);
        }
        fs::remove_all(FDir);
    }

    // Starts the simulator on its pseudo-terminal link.
    void StartHost(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {TREVALON_HOST_EXE, "--jobs", (FDir / "jobs").string(),
                                         "--link", FLink.string(), "--log",
                                         (FDir / "host.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        FHost = Spawn(args, "/dev/null", "/dev/null");
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!fs::exists(FLink)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the simulator made no link";
            std::this_thread::sleep_for(5ms);
        }
    }

    // The simulator's exit code once it ends by itself (-1 when it does not within 10 s).
    int HostExit() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        int status = 0;
        while (waitpid(FHost, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(5ms);
        }
        FHost = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The TCP simulator's exit code once it ends by itself (-1 when it does not within 10 s).
    int NetHostExit() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        int status = 0;
        while (waitpid(FNetHost, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(5ms);
        }
        FNetHost = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Starts a second simulator serving the jobs in JobsDir on a loopback TCP
    // port of the system's choosing; returns its URL (socket://127.0.0.1:PORT).
    std::string StartNetHost(const fs::path& jobsDir, std::vector<std::string> extra = {}) {
        const fs::path log = FDir / "net-host.log";
        fs::remove(log);  // the log is appended to: only this run's address counts
        std::vector<std::string> args = {TREVALON_HOST_EXE, "--jobs", jobsDir.string(), "--listen",
                                         "127.0.0.1:0", "--log", log.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        FNetHost = Spawn(args, "/dev/null", "/dev/null");
        const std::string mark = "listening on 127.0.0.1:";
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string text = ReadFile(log);
            const std::size_t at = text.find(mark);
            const std::size_t end = at == std::string::npos ? at : text.find(',', at);
            if (end != std::string::npos)
                return "socket://127.0.0.1:" + text.substr(at + mark.size(), end - at - mark.size());
            std::this_thread::sleep_for(5ms);
        }
        ADD_FAILURE() << "the simulator did not say where it listens: " << ReadFile(log);
        return "socket://127.0.0.1:1";
    }

    static pid_t Spawn(std::vector<std::string> args, const std::string& out, const std::string& err) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed ? -1 : pid;
    }

    // Runs trevalon-cli with Args (and the test's settings file unless
    // Settings is false); a run past Limit is killed and fails the test.
    TResult Cli(std::vector<std::string> args, bool settings = true,
                std::chrono::seconds limit = 30s) {
        args.insert(args.begin(), TREVALON_CLI_EXE);
        if (settings) {
            args.push_back("--settings");
            args.push_back((FDir / "settings.dat").string());
        }
        const fs::path out = FDir / "cli.out";
        const fs::path err = FDir / "cli.err";
        TResult result;
        const pid_t pid = Spawn(args, out.string(), err.string());
        if (pid <= 0) {
            ADD_FAILURE() << "trevalon-cli did not start";
            return result;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "trevalon-cli still ran after " << limit.count() << " s";
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.Out = ReadFile(out);
        result.Err = ReadFile(err);
        if (std::find(args.begin(), args.end(), "--json") != args.end()) CheckJson(result, out);
        return result;
    }

    // Every --json output is one object of the published schema, with the exit
    // status the run ended with.
    static void CheckJson(const TResult& result, const fs::path& out) {
        const std::string check = "/usr/bin/python3 '" TREVALON_TEST_DATA_DIR "/check_json.py' '" +
                                  std::string(TREVALON_CLI_SCHEMA) + "' < '" + out.string() + "'";
        std::FILE* pipe = ::popen(check.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string verdict;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) verdict += buffer;
        const int status = ::pclose(pipe);
        EXPECT_EQ(status, 0) << "the JSON does not follow the schema:\n" << verdict << result;
        EXPECT_NE(result.Out.find("\"exit\":" + std::to_string(result.Exit) + ","), std::string::npos)
            << result;
    }

    fs::path FDir;
    fs::path FLink;
    pid_t FHost = -1;
    pid_t FNetHost = -1;
    pid_t FSer2net = -1;
};

// The value printed for Name ("box A: 51.00" gives 51.00).
double Figure(const std::string& out, const std::string& name) {
    const std::size_t at = out.find(name + ": ");
    if (at == std::string::npos) return -1;
    return std::stod(out.substr(at + name.size() + 2));
}

// The host answers with the sample's own trace, not resampled.
const std::vector<std::string> SampleAsItIs = {"--format", "1", "--points", "360", "--insist"};

TEST_F(TCliProgramTest, FetchPrintsTheJobsFiguresAndWritesItsJobFile) {
    StartHost(SampleAsItIs);
    const TResult fetched = Cli({"fetch", "1234", "-o", (FDir / "out.oma").string(), "--log",
                                 (FDir / "comm.log").string()});
    ASSERT_EQ(fetched.Exit, 0) << fetched;
    EXPECT_NEAR(Figure(fetched.Out, "box A"), 51.00, 0.01) << fetched;
    EXPECT_NEAR(Figure(fetched.Out, "box B"), 44.01, 0.01);
    EXPECT_NEAR(Figure(fetched.Out, "circumference"), 150.76, 0.05);
    EXPECT_EQ(Figure(fetched.Out, "DBL"), 20.00);
    EXPECT_EQ(Figure(fetched.Out, "points"), 360);
    // The written file holds the same shape, under its job number.
    const TResult shown = Cli({"show", (FDir / "out.oma").string()}, false);
    ASSERT_EQ(shown.Exit, 0) << shown;
    EXPECT_NE(shown.Out.find("tray: 1234\n"), std::string::npos) << shown;
    EXPECT_EQ(Figure(shown.Out, "box B"), Figure(fetched.Out, "box B"));
    EXPECT_EQ(Figure(shown.Out, "points"), 360);
    // The log has both directions.
    const std::string log = ReadFile(FDir / "comm.log");
    EXPECT_NE(log.find("REQ=INI"), std::string::npos);
    EXPECT_NE(log.find("ANS=7"), std::string::npos);
}

TEST_F(TCliProgramTest, JsonOutputIsOneObject) {
    StartHost(SampleAsItIs);
    const TResult fetched = Cli({"fetch", "1234", "--json"});
    ASSERT_EQ(fetched.Exit, 0) << fetched;
    EXPECT_EQ(fetched.Out.rfind("{\"command\":\"fetch\",\"exit\":0,\"tray\":\"1234\",", 0), 0u)
        << fetched;
    EXPECT_NE(fetched.Out.find("\"format\":1,\"box_a\":51.00,\"box_b\":44.01,\"circ\":150.7"),
              std::string::npos)
        << fetched;
    EXPECT_NE(fetched.Out.find("\"dbl\":20.00,\"points\":360"), std::string::npos) << fetched;
    const TResult missing = Cli({"fetch", "55", "--json"});
    EXPECT_EQ(missing.Exit, 4) << missing;
    EXPECT_EQ(missing.Out.rfind("{\"command\":\"fetch\",\"exit\":4,\"error\":\"Tray 55 not found\",", 0),
              0u)
        << missing;
}

TEST_F(TCliProgramTest, AnEditedShapeIsStoredAndFetchedBack) {
    StartHost();
    const fs::path edited = FDir / "edited.oma";
    const TResult edit =
        Cli({"edit", (FDir / "R360_3.oma").string(), "-o", edited.string(), "--vbox", "46"}, false);
    ASSERT_EQ(edit.Exit, 0) << edit;
    EXPECT_NEAR(Figure(edit.Out, "box B"), 46.00, 0.02) << edit;
    EXPECT_NEAR(Figure(edit.Out, "box A"), 51.00, 0.02);
    const TResult stored = Cli({"store", edited.string(), "--tray", "1234"});
    ASSERT_EQ(stored.Exit, 0) << stored;
    EXPECT_NE(stored.Out.find("verdict: Job stored"), std::string::npos) << stored;
    const TResult fetched = Cli({"fetch", "1234"});
    ASSERT_EQ(fetched.Exit, 0) << fetched;
    EXPECT_NEAR(Figure(fetched.Out, "box B"), 46.00, 0.05) << fetched;
    // The job kept its previous file.
    EXPECT_TRUE(fs::exists(FDir / "jobs" / "1234.oma.bak"));
}

TEST_F(TCliProgramTest, TheHostsRefusalsEndWithTheirOwnWords) {
    StartHost({"--refuse-store"});
    const TResult missing = Cli({"fetch", "4711"});
    EXPECT_EQ(missing.Exit, 4) << missing;
    EXPECT_EQ(missing.Err, "trevalon-cli: Tray 4711 not found\n");
    const TResult refused = Cli({"store", (FDir / "R360_3.oma").string(), "--tray", "1234"});
    EXPECT_EQ(refused.Exit, 4) << refused;
    EXPECT_EQ(refused.Err, "trevalon-cli: Job locked\n");
}

TEST_F(TCliProgramTest, ASilentHostTimesOut) {
    StartHost({"--silent", "job"});
    const auto start = std::chrono::steady_clock::now();
    const TResult fetched = Cli({"fetch", "1234"});
    EXPECT_EQ(fetched.Exit, 5) << fetched;
    EXPECT_EQ(fetched.Err, "trevalon-cli: Timeout waiting for host\n");
    // The fifteenth tick after the job request ends it.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 14s);
}

TEST_F(TCliProgramTest, ALinkThatCannotOpenIsSaidSo) {
    const TResult fetched = Cli({"fetch", "1234", "--port", (FDir / "no-such-line").string()});
    EXPECT_EQ(fetched.Exit, 3) << fetched;
    EXPECT_NE(fetched.Err.find("No such file or directory"), std::string::npos) << fetched;
    const TResult noFile = Cli({"fetch", "1234", "--settings", (FDir / "none.dat").string()}, false);
    EXPECT_EQ(noFile.Exit, 6) << noFile;
}

TEST_F(TCliProgramTest, ALogOrTranscriptThatCannotBeWrittenStopsTheRunBeforeTheHostHearsOfIt) {
    StartHost();
    for (const char* option : {"--log", "--transcript"}) {
        const fs::path unwritable = FDir / "no-such-folder" / "file.txt";
        const TResult fetched = Cli({"fetch", "1234", option, unwritable.string(), "--json"});
        EXPECT_EQ(fetched.Exit, 6) << option << "\n" << fetched;
        EXPECT_NE(fetched.Err.find(unwritable.string() + ": No such file or directory"),
                  std::string::npos)
            << fetched;
        EXPECT_NE(fetched.Out.find("\"exit\":6"), std::string::npos) << fetched;
    }
    // The host's log records every byte it received: none came.
    EXPECT_EQ(ReadFile(FDir / "host.log").find(" <- "), std::string::npos) << ReadFile(FDir / "host.log");
}

TEST_F(TCliProgramTest, ALogThatFailsToBeWrittenLeavesTheStoreReportedAsStored) {
    StartHost();
    // The full device takes the file's opening and refuses its bytes.
    const TResult stored = Cli({"store", (FDir / "R360_3.oma").string(), "--tray", "1234", "--log",
                                "/dev/full", "--json"});
    EXPECT_EQ(stored.Exit, 0) << stored;
    EXPECT_NE(stored.Out.find("\"verdict\":\"Job stored\""), std::string::npos) << stored;
    EXPECT_NE(stored.Out.find("\"write_error\":\"cannot write the communication log /dev/full: "),
              std::string::npos)
        << stored;
    EXPECT_NE(stored.Err.find("cannot write the communication log /dev/full"), std::string::npos)
        << stored;
    EXPECT_TRUE(fs::exists(FDir / "jobs" / "1234.oma.bak"));
}

TEST_F(TCliProgramTest, FilesThatCannotBeUsedAndRefusedEdits) {
    const TResult missing = Cli({"show", (FDir / "missing.oma").string()}, false);
    EXPECT_EQ(missing.Exit, 6) << missing;
    const TResult unsupported =
        Cli({"show", (fs::path(TREVALON_SAMPLES_DIR) / "TRCFMT6.oma").string()}, false);
    EXPECT_EQ(unsupported.Exit, 6) << unsupported;
    EXPECT_NE(unsupported.Err.find("Trace type 6 is unsupported"), std::string::npos) << unsupported;
    const TResult small = Cli({"edit", (FDir / "R360_3.oma").string(), "-o",
                               (FDir / "small.oma").string(), "--hbox", "5"},
                              false);
    EXPECT_EQ(small.Exit, 1) << small;
    EXPECT_EQ(small.Err, "trevalon-cli: Box A Too small\n");
    EXPECT_FALSE(fs::exists(FDir / "small.oma"));
}

TEST_F(TCliProgramTest, EditRotatesAndWritesTheChosenFormatAndCount) {
    const fs::path out = FDir / "turned.oma";
    const TResult turned = Cli({"edit", (FDir / "R360_3.oma").string(), "-o", out.string(),
                                "--rotate", "256", "--format", "4", "--points", "512", "--dbl",
                                "18.5"},
                               false);
    ASSERT_EQ(turned.Exit, 0) << turned;
    // The DBL change rebuilds the working shape at 1024 points, as typing it
    // in the window does: a quarter turn is 256 of them, and swaps the box's sides.
    EXPECT_NEAR(Figure(turned.Out, "box A"), 44.01, 0.05) << turned;
    EXPECT_NEAR(Figure(turned.Out, "box B"), 51.00, 0.05);
    EXPECT_EQ(Figure(turned.Out, "DBL"), 18.50);
    const TResult shown = Cli({"show", out.string()}, false);
    ASSERT_EQ(shown.Exit, 0) << shown;
    EXPECT_EQ(Figure(shown.Out, "format"), 4);
    EXPECT_EQ(Figure(shown.Out, "points"), 512);
}

TEST_F(TCliProgramTest, AnUnchangedJobIsWrittenBackByteForByteAndEditsGiveTheModelsFigures) {
    const fs::path in = FDir / "R360_3.oma";
    const fs::path out = FDir / "same.oma";
    const TResult same = Cli({"edit", in.string(), "-o", out.string()}, false);
    ASSERT_EQ(same.Exit, 0) << same;
    EXPECT_EQ(ReadFile(out), ReadFile(in));
    // The same edit through the job model, as the window makes it.
    const struct {
        std::vector<std::string> Options;
        TShapeChange Change;
        bool LockB;
        double A, B, Circ;
    } rows[] = {{{"--vbox", "46", "--lock-b"}, scBox, true, 0, 46, 0},
                {{"--vbox", "46"}, scBox, false, -1, 46, 0},
                {{"--hbox", "53"}, scBox, false, 53, -1, 0},
                {{"--circ", "140"}, scCirc, false, 0, 0, 140}};
    for (const auto& row : rows) {
        std::vector<std::string> args = {"edit", in.string(), "-o", (FDir / "e.oma").string()};
        args.insert(args.end(), row.Options.begin(), row.Options.end());
        const TResult edited = Cli(args, false);
        ASSERT_EQ(edited.Exit, 0) << edited;
        TJob job;
        job.Open(ReadFile(in));
        const double a = row.A < 0 ? ShownValue(job.Working.HBox) : row.A;
        const double b = row.B < 0 ? ShownValue(job.Working.VBox) : row.B;
        job.Change(row.Change, row.LockB,
                   [&](TShapeValue which) { return which == svBoxA ? a : which == svBoxB ? b : row.Circ; },
                   ShownValue(job.Working.DBL));
        EXPECT_DOUBLE_EQ(Figure(edited.Out, "box A"), ShownValue(job.Working.HBox)) << edited;
        EXPECT_DOUBLE_EQ(Figure(edited.Out, "box B"), ShownValue(job.Working.VBox)) << edited;
        EXPECT_DOUBLE_EQ(Figure(edited.Out, "circumference"), ShownValue(job.Working.Circ)) << edited;
        // The file states the same figures for the right eye.
        const std::string saved = ReadFile(FDir / "e.oma");
        char boxes[64];
        std::snprintf(boxes, sizeof boxes, "VBOX=%.2f;", job.Working.VBox);
        EXPECT_NE(saved.find(boxes), std::string::npos) << boxes;
    }
}

TEST_F(TCliProgramTest, EditsGiveTheGoldenFiguresOnScreenAndInTheFile) {
    const std::vector<TGoldenEdit> edits = GoldenEdits();
    ASSERT_FALSE(edits.empty());
    for (const TGoldenEdit& edit : edits) {
        SCOPED_TRACE(edit.Sample + (edit.Circ ? " circ " + edit.CircValue : " A " + edit.A + " B " + edit.B) +
                     (edit.LockB ? " lock B" : ""));
        const fs::path out = FDir / "golden.oma";
        std::vector<std::string> args = {"edit", (fs::path(TREVALON_SAMPLES_DIR) / edit.Sample).string(),
                                         "-o", out.string()};
        if (edit.Circ) {
            args.insert(args.end(), {"--circ", edit.CircValue});
        } else {
            if (edit.LockB) args.push_back("--lock-b");
            if (!edit.A.empty()) args.insert(args.end(), {"--hbox", edit.A});
            if (!edit.B.empty()) args.insert(args.end(), {"--vbox", edit.B});
        }
        const TResult edited = Cli(args, false);
        ASSERT_EQ(edited.Exit, 0) << edited;
        EXPECT_NE(edited.Out.find("box A: " + edit.BoxA + "\n"), std::string::npos) << edited;
        EXPECT_NE(edited.Out.find("box B: " + edit.BoxB + "\n"), std::string::npos) << edited;
        EXPECT_NE(edited.Out.find("circumference: " + edit.Circumference + "\n"), std::string::npos)
            << edited;
        // The file states them for the edited (right) eye, in the records it has.
        const std::string sample = ReadFile(fs::path(TREVALON_SAMPLES_DIR) / edit.Sample);
        const std::string saved = ReadFile(out);
        for (const auto& [label, value] : {std::pair{"HBOX=", edit.BoxA}, std::pair{"VBOX=", edit.BoxB},
                                           std::pair{"CIRC=", edit.Circumference}}) {
            const bool stated = sample.find(std::string("\n") + label) != std::string::npos;
            EXPECT_EQ(saved.find(std::string("\n") + label + value + ";") != std::string::npos, stated)
                << label << value;
        }
    }
}

TEST_F(TCliProgramTest, PointCountsATraceCannotBeCutWithAreRefusedAndNothingIsSent) {
    StartHost();
    const fs::path in = FDir / "R360_3.oma";
    for (const char* count : {"0", "1", "99", "4097"}) {
        const TResult edited =
            Cli({"edit", in.string(), "-o", (FDir / "p.oma").string(), "--points", count}, false);
        EXPECT_EQ(edited.Exit, 2) << edited;
        EXPECT_EQ(edited.Err.substr(0, edited.Err.find('\n')),
                  std::string("trevalon-cli: --points takes a whole number from 100 to 4096, not '") +
                      count + "'");
        EXPECT_FALSE(fs::exists(FDir / "p.oma"));
    }
    // A file of too few points, as other tools may write it, is not stored.
    std::ofstream(FDir / "few.oma", std::ios::binary) << "JOB=\"1234\"\nTRCFMT=1;3;E;R;F\nR=2500;2500;2500\n";
    const TResult stored = Cli({"store", (FDir / "few.oma").string()});
    EXPECT_EQ(stored.Exit, 6) << stored;
    EXPECT_NE(stored.Err.find("Cannot store a trace of 3 points (100 to 4096)"), std::string::npos)
        << stored;
    EXPECT_EQ(ReadFile(FDir / "host.log").find(" <- "), std::string::npos) << ReadFile(FDir / "host.log");
}

TEST_F(TCliProgramTest, PrintWritesAPdf) {
    const fs::path pdf = FDir / "shape.pdf";
    const TResult printed = Cli({"print", (FDir / "R360_3.oma").string(), "-o", pdf.string()}, false);
    ASSERT_EQ(printed.Exit, 0) << printed;
    EXPECT_EQ(ReadFile(pdf).rfind("%PDF", 0), 0u);
}

fs::path GoldenTranscript(const std::string& name) {
    return fs::path(TREVALON_TEST_DATA_DIR) / ".." / "data" / "transcripts" / (name + ".jsonl");
}

TEST_F(TCliProgramTest, ARecordedConversationReplaysIdentically) {
    // Recorded live, then replayed: the client does exactly the same.
    StartHost(SampleAsItIs);
    const fs::path recorded = FDir / "live.jsonl";
    const TResult live = Cli({"fetch", "1234", "--transcript", recorded.string()});
    ASSERT_EQ(live.Exit, 0) << live;
    kill(FHost, SIGTERM);
    HostExit();
    fs::remove(FLink);
    StartHost({"--replay", recorded.string()});
    const TResult replayed = Cli({"fetch", "1234"});
    EXPECT_EQ(replayed.Exit, 0) << replayed;
    EXPECT_EQ(replayed.Out, live.Out);
    EXPECT_EQ(HostExit(), 0) << ReadFile(FDir / "host.log");
}

TEST_F(TCliProgramTest, GoldenTranscriptsReplayAgainstTheCommandLine) {
    StartHost({"--replay", GoldenTranscript("store-init").string(), "--fast"});
    const TResult stored = Cli({"store", (FDir / "R360_3.oma").string(), "--tray", "1234"});
    EXPECT_EQ(stored.Exit, 0) << stored;
    EXPECT_EQ(HostExit(), 0) << ReadFile(FDir / "host.log");
}

TEST_F(TCliProgramTest, AClientThatDivergesIsCaughtAtItsByte) {
    // The recorded client asked for tray 1234; this one asks for 1235. Without
    // a log file the log is standard error: the divergence is said there once,
    // on one line.
    FHost = Spawn({TREVALON_HOST_EXE, "--replay", GoldenTranscript("request-init").string(), "--fast",
                   "--link", FLink.string()},
                  "/dev/null", (FDir / "host.err").string());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(FLink)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the simulator made no link";
        std::this_thread::sleep_for(5ms);
    }
    const TResult fetched = Cli({"fetch", "1235"}, true, 40s);
    EXPECT_NE(fetched.Exit, 0) << fetched;
    EXPECT_EQ(HostExit(), 3);
    const std::string err = ReadFile(FDir / "host.err");
    std::size_t said = 0;
    for (std::size_t at = err.find("diverged"); at != std::string::npos; at = err.find("diverged", at + 1))
        ++said;
    EXPECT_EQ(said, 1u) << err;
    const std::size_t line = err.rfind('\n', err.find("diverged at client byte "));
    const std::string divergence = err.substr(line + 1, err.find('\n', line + 1) - line - 1);
    EXPECT_NE(divergence.find("expected \"4\"<cr>TRCFMT=4;512;E;R;F<cr><rs>CRC="), std::string::npos)
        << err;
    EXPECT_NE(divergence.find(", received \"5\"<cr>TRCFMT"), std::string::npos) << err;
}

// The replay serves its one conversation over TCP too: a recorded store is
// played to the command line over socket://, and a different client is caught.
TEST_F(TCliProgramTest, ATranscriptReplaysOverTcp) {
    const std::string url =
        StartNetHost(FDir / "jobs", {"--replay", GoldenTranscript("store-init").string(), "--fast"});
    const TResult stored =
        Cli({"store", (FDir / "R360_3.oma").string(), "--tray", "1234", "--port", url});
    EXPECT_EQ(stored.Exit, 0) << stored;
    EXPECT_EQ(NetHostExit(), 0) << ReadFile(FDir / "net-host.log");

    const std::string again =
        StartNetHost(FDir / "jobs", {"--replay", GoldenTranscript("request-init").string(), "--fast"});
    const TResult fetched = Cli({"fetch", "1235", "--port", again}, true, 40s);
    EXPECT_NE(fetched.Exit, 0) << fetched;
    EXPECT_EQ(NetHostExit(), 3);
    const std::string log = ReadFile(FDir / "net-host.log");
    EXPECT_NE(log.find("diverged at client byte "), std::string::npos) << log;
}

TEST_F(TCliProgramTest, AMalformedTranscriptIsRefusedClearly) {
    std::ofstream(FDir / "bad.jsonl") << "{\"transcript\":1}\n";
    const pid_t host = Spawn({TREVALON_HOST_EXE, "--replay", (FDir / "bad.jsonl").string(), "--link",
                              FLink.string()},
                             (FDir / "host.out").string(), (FDir / "host.err").string());
    int status = 0;
    waitpid(host, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFile(FDir / "host.err"),
              "trevalon-host: " + (FDir / "bad.jsonl").string() + ": line 1: \"kind\" is missing\n");
}

TEST_F(TCliProgramTest, UsageFaultsAndHelp) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"fetch"}, {"frobnicate"}, {"show", "a.oma", "--hbox", "5"},
          {"edit", "a.oma"}, {"edit", "a.oma", "-o", "b.oma", "--circ", "150", "--vbox", "40"},
          {"fetch", "1", "--format", "7"}, {"show", "a", "--bogus"}}) {
        const TResult result = Cli(args, false);
        EXPECT_EQ(result.Exit, 2) << result;
        EXPECT_NE(result.Err.find("Try 'trevalon-cli "), std::string::npos) << result;
    }
    const TResult help = Cli({"--help"}, false);
    EXPECT_EQ(help.Exit, 0);
    EXPECT_NE(help.Out.find("Exit status:"), std::string::npos);
    // A tray that would break the packet is refused before anything is sent.
    const TResult quote = Cli({"fetch", "12\"34"});
    EXPECT_EQ(quote.Exit, 2) << quote;
}

// Every argument is checked before the link opens: each fault below exits 2
// with one line naming the argument, the host hears nothing, and --json gives
// one object of the schema (checked in Cli).
TEST_F(TCliProgramTest, InvalidInvocationsAreRefusedBeforeTheHostHearsOfThem) {
    StartHost();
    const std::string in = (FDir / "R360_3.oma").string();
    const std::string out = (FDir / "out.oma").string();
    const struct {
        std::vector<std::string> Args;
        const char* Names;  // what the message must name
    } rows[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"fetch"}, "TRAY"},
        {{"fetch", ""}, "TRAY: the tray number is empty"},
        {{"fetch", "12;34"}, "TRAY: Tray number may not contain a semicolon (;)"},
        {{"fetch", "12\"34"}, "TRAY: Tray number may not contain a double quote"},
        {{"fetch", "12\x01"}, "TRAY: Tray number may not contain control characters"},
        {{"fetch", "1", "2"}, "'2'"},
        {{"fetch", "1", "--bogus"}, "unknown option --bogus"},
        {{"fetch", "1", "--port"}, "--port needs a value"},
        {{"fetch", "1", "--port", "http://127.0.0.1:80"}, "unknown scheme http://"},
        {{"fetch", "1", "--port", "socket://127.0.0.1"}, "--port socket://127.0.0.1"},
        {{"fetch", "1", "--format", "9", "-o", out}, "--format takes a whole number from 1 to 4"},
        {{"fetch", "1", "--format", "2"}, "--format on fetch needs -o FILE"},
        {{"fetch", "1", "--log", ""}, "--log needs a file name"},
        {{"fetch", "1", "--settings", ""}, "--settings needs a file name"},
        {{"fetch", "1", "--tray", "2"}, "--tray belongs to store"},
        {{"store", in, "--tray", ""}, "--tray: the tray number is empty"},
        {{"store", in, "--tray", "1\"2"}, "--tray: Tray number may not contain a double quote"},
        {{"store"}, "FILE"},
        {{"show", in, "--port", "COM1"}, "--port"},
        {{"show", in, "--hbox", "50"}, "--hbox"},
        {{"edit", in}, "-o FILE"},
        {{"edit", in, "-o", out, "--hbox", "fifty"}, "--hbox takes a number in millimetres"},
        {{"edit", in, "-o", out, "--hbox", "-5"}, "--hbox takes millimetres above 0 and below 200"},
        {{"edit", in, "-o", out, "--vbox", "4,5"}, "--vbox"},
        {{"edit", in, "-o", out, "--circ", "1e9"}, "--circ takes millimetres above 0 and below 630"},
        {{"edit", in, "-o", out, "--dbl", "inf"}, "--dbl"},
        {{"edit", in, "-o", out, "--rotate", "99999999999"},
         "--rotate takes a whole number from -1000000 to 1000000, not '99999999999'"},
        {{"edit", in, "-o", out, "--rotate", "1.5"}, "--rotate takes a whole number, not '1.5'"},
        {{"edit", in, "-o", out, "--points", "50"}, "--points takes a whole number from 100 to 4096"},
        {{"edit", in, "-o", out, "--circ", "150", "--vbox", "40"}, "--circ"},
        {{"edit", in, "-o", out, "--hbox", "50", "--lock-b"}, "--lock-b"},
        {{"print", in}, "-o FILE"},
        {{"ports", "x"}, "'x'"},
    };
    for (const auto& row : rows) {
        std::string line;
        for (const std::string& arg : row.Args) line += arg + " ";
        SCOPED_TRACE(line);
        for (const bool json : {false, true}) {
            std::vector<std::string> args = row.Args;
            if (json) args.push_back("--json");
            const TResult result = Cli(args, false);
            EXPECT_EQ(result.Exit, 2) << result;
            const std::string first = result.Err.substr(0, result.Err.find('\n'));
            EXPECT_EQ(first.rfind("trevalon-cli: ", 0), 0u) << result;
            EXPECT_NE(first.find(row.Names), std::string::npos) << result;
            // The line itself, then where help is.
            EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 2) << result;
            EXPECT_EQ(result.Out.empty(), !json) << result;
        }
    }
    const std::string log = ReadFile(FDir / "host.log");
    EXPECT_EQ(log.find(" <- "), std::string::npos) << log;
}

// What a script needs of a file it names is known before the host is asked:
// the file's name and the system's reason, exit 6, nothing sent.
TEST_F(TCliProgramTest, FilesAreCheckedBeforeTheHostHearsOfThemAndNamedWithTheirReason) {
    StartHost();
    const std::string in = (FDir / "R360_3.oma").string();
    const std::string missing = (FDir / "missing.oma").string();
    const std::string noFolder = (FDir / "no-folder" / "a.oma").string();
    const std::string folder = (FDir / "jobs").string() + "/";
    const struct {
        std::vector<std::string> Args;
        std::string Error;
    } rows[] = {
        {{"store", missing}, missing + ": Cannot read the job file: No such file or directory"},
        {{"fetch", "1234", "-o", noFolder},
         "cannot write the job file " + noFolder + ": No such file or directory"},
        {{"fetch", "1234", "-o", folder}, "cannot write the job file " + folder + ": Is a directory"},
        {{"edit", in, "-o", folder}, "cannot write the job file " + folder + ": Is a directory"},
        {{"print", in, "-o", (FDir / "none" / "a.pdf").string()},
         "cannot write the PDF " + (FDir / "none" / "a.pdf").string() + ": No such file or directory"},
        {{"show", missing}, missing + ": Cannot read the job file: No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Args[0] + " " + row.Args[1]);
        std::vector<std::string> args = row.Args;
        args.push_back("--json");
        const TResult result = Cli(args, row.Args[0] == "fetch" || row.Args[0] == "store");
        EXPECT_EQ(result.Exit, 6) << result;
        // One line on standard error, no warning of a library beside it.
        EXPECT_EQ(result.Err, "trevalon-cli: " + row.Error + "\n");
        EXPECT_NE(result.Out.find("\"error\":\"" + row.Error + "\""), std::string::npos) << result;
    }
    EXPECT_FALSE(fs::exists(FDir / "jobs" / "1234.oma.bak"));
    EXPECT_EQ(ReadFile(FDir / "host.log").find(" <- "), std::string::npos);
}

// A settings file names its place: a missing line setting takes its default,
// an unusable value names the file, the key and the value; a raw TCP port is
// never refused for a line setting it does not use.
TEST_F(TCliProgramTest, SettingsFilesThatLeaveOutOrSpoilAKey) {
    StartHost(SampleAsItIs);
    const fs::path settings = FDir / "lab.dat";
    const std::string port = "Port=" + FLink.string() + "\r\n";
    std::ofstream(settings, std::ios::binary) << port;
    const TResult portOnly = Cli({"fetch", "1234", "--settings", settings.string()}, false);
    EXPECT_EQ(portOnly.Exit, 0) << portOnly;
    EXPECT_NEAR(Figure(portOnly.Out, "box A"), 51.00, 0.01) << portOnly;

    const struct {
        std::string Line;
        std::string Error;
    } rows[] = {
        {"BaudRate=fast", "BaudRate=fast is not a number"},
        {"BaudRate=-9600", "BaudRate=-9600 is not a line speed in baud"},
        {"DataBits=", ""},  // an empty value is a missing key
        {"DataBits=eight", "DataBits=eight is not a number"},
        {"DataBits=4", "DataBits=4 is not 5, 6, 7 or 8 data bits"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Line);
        std::ofstream(settings, std::ios::binary) << port << row.Line << "\r\n";
        const TResult result = Cli({"fetch", "1234", "--settings", settings.string(), "--json"}, false);
        if (row.Error.empty()) {
            EXPECT_EQ(result.Exit, 0) << result;
            continue;
        }
        EXPECT_EQ(result.Exit, 6) << result;
        EXPECT_EQ(result.Err, "trevalon-cli: " + settings.string() + ": " + row.Error + "\n");
    }
    // A raw TCP host: the spoilt line settings are not its own.
    fs::create_directories(FDir / "net-jobs");
    fs::copy_file(FDir / "jobs" / "1234.oma", FDir / "net-jobs" / "1234.oma");
    const std::string url = StartNetHost(FDir / "net-jobs");
    std::ofstream(settings, std::ios::binary) << "Port=" << url << "\r\nBaudRate=fast\r\nDataBits=\r\n";
    const TResult raw = Cli({"fetch", "1234", "--settings", settings.string()}, false);
    EXPECT_EQ(raw.Exit, 0) << raw;
    const std::string missing = (FDir / "none.dat").string();
    const TResult none = Cli({"fetch", "1234", "--settings", missing}, false);
    EXPECT_EQ(none.Exit, 6) << none;
    EXPECT_EQ(none.Err, "trevalon-cli: cannot read the settings file " + missing +
                            ": No such file or directory\n");
    // A file without a port: what to do, and which file has none.
    std::ofstream(settings, std::ios::binary) << "BaudRate=9600\r\n";
    const TResult noPort = Cli({"fetch", "1234", "--settings", settings.string()}, false);
    EXPECT_EQ(noPort.Exit, 2) << noPort;
    EXPECT_NE(noPort.Err.find("(" + settings.string() + " has none)"), std::string::npos) << noPort;
}

// The host's own words go beside the program's text, and into the JSON.
TEST_F(TCliProgramTest, TheHostsStatusTextIsGivenBesideTheProgramsText) {
    StartHost({"--status", "init:1:Tray L424775600 not found"});
    const TResult stored = Cli({"store", (FDir / "R360_3.oma").string(), "--json"});
    EXPECT_EQ(stored.Exit, 4) << stored;
    EXPECT_EQ(stored.Err, "trevalon-cli: Did not get positive response from host (the host said: "
                          "STATUS=1 \"Tray L424775600 not found\")\n");
    EXPECT_NE(stored.Out.find("\"host_status\":1,"), std::string::npos) << stored;
    EXPECT_NE(stored.Out.find("\"host_text\":\"Tray L424775600 not found\""), std::string::npos)
        << stored;
}

// Help for the program and for each command: the command's own usage and
// options, and nothing of the others'.
TEST_F(TCliProgramTest, EachCommandHasItsOwnHelp) {
    const struct {
        const char* Command;
        std::vector<std::string> Has, HasNot;
    } rows[] = {
        {"fetch", {"Usage: trevalon-cli fetch TRAY", "--format N", "--port NAME", "Files:"},
         {"--hbox", "--tray"}},
        {"store", {"Usage: trevalon-cli store FILE", "--tray TRAY", "--transcript FILE"}, {"--hbox"}},
        {"show", {"Usage: trevalon-cli show FILE", "--json"}, {"--port", "--output"}},
        {"edit", {"Usage: trevalon-cli edit IN -o OUT", "--lock-b", "--points N", "--rotate STEPS"},
         {"--port", "--tray"}},
        {"print", {"Usage: trevalon-cli print FILE -o FILE.pdf", "-o, --output FILE.pdf"}, {"--hbox"}},
        {"ports", {"Usage: trevalon-cli ports"}, {"--output", "--port"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Command);
        for (const std::vector<std::string>& args : {std::vector<std::string>{row.Command, "--help"},
                                                     std::vector<std::string>{"--help", row.Command}}) {
            const TResult help = Cli(args, false);
            EXPECT_EQ(help.Exit, 0) << help;
            for (const std::string& text : row.Has) EXPECT_NE(help.Out.find(text), std::string::npos) << text;
            for (const std::string& text : row.HasNot) EXPECT_EQ(help.Out.find(text), std::string::npos) << text;
            EXPECT_NE(help.Out.find("Exit status:"), std::string::npos);
        }
    }
    // The program's help lists every option once.
    const TResult help = Cli({"--help"}, false);
    for (const char* option : {"--output", "--format", "--points", "--hbox", "--vbox", "--circ",
                               "--dbl", "--lock-b", "--rotate", "--tray", "--settings", "--port",
                               "--log", "--transcript", "--json", "--help", "--version"}) {
        const std::string entry = std::string(" ") + option + " ";
        const std::size_t at = help.Out.find(option);
        EXPECT_NE(at, std::string::npos) << option;
        std::size_t count = 0;
        for (std::size_t line = help.Out.find("\n  -"); line != std::string::npos;
             line = help.Out.find("\n  -", line + 1)) {
            const std::string words = help.Out.substr(line, help.Out.find("  ", line + 3) - line);
            if ((words + " ").find(entry) != std::string::npos ||
                (words + " ").find(std::string(",") + entry) != std::string::npos)
                ++count;
        }
        EXPECT_EQ(count, 1u) << option << "\n" << help.Out;
    }
    const TResult json = Cli({"edit", "--help", "--json"}, false);
    EXPECT_EQ(json.Exit, 0) << json;
    const TResult version = Cli({"--version", "--json"}, false);
    EXPECT_EQ(version.Exit, 0) << version;
}

// The same conversations over TCP as over the pseudo-terminal: the same
// output, the same job file, and the same stored file on the host.
TEST_F(TCliProgramTest, OverTcpFetchAndStoreMatchTheSerialLineByteForByte) {
    fs::create_directories(FDir / "net-jobs");
    fs::copy_file(FDir / "jobs" / "1234.oma", FDir / "net-jobs" / "1234.oma");
    StartHost();
    const std::string url = StartNetHost(FDir / "net-jobs");

    const TResult serial = Cli({"fetch", "1234", "-o", (FDir / "serial.oma").string()});
    ASSERT_EQ(serial.Exit, 0) << serial;
    const TResult net = Cli({"fetch", "1234", "-o", (FDir / "net.oma").string(), "--port", url});
    ASSERT_EQ(net.Exit, 0) << net;
    auto withoutFile = [](std::string out) { return out.substr(0, out.find("output: ")); };
    EXPECT_EQ(withoutFile(net.Out), withoutFile(serial.Out));
    EXPECT_NE(net.Out.find("bytes received: "), std::string::npos) << net;
    EXPECT_EQ(ReadFile(FDir / "net.oma"), ReadFile(FDir / "serial.oma"));

    const fs::path edited = FDir / "edited.oma";
    ASSERT_EQ(Cli({"edit", (FDir / "R360_3.oma").string(), "-o", edited.string(), "--vbox", "46"},
                  false)
                  .Exit,
              0);
    const TResult storedSerial = Cli({"store", edited.string(), "--tray", "1234"});
    ASSERT_EQ(storedSerial.Exit, 0) << storedSerial;
    const TResult storedNet = Cli({"store", edited.string(), "--tray", "1234", "--port", url});
    ASSERT_EQ(storedNet.Exit, 0) << storedNet;
    EXPECT_EQ(storedNet.Out, storedSerial.Out);
    EXPECT_EQ(ReadFile(FDir / "net-jobs" / "1234.oma"), ReadFile(FDir / "jobs" / "1234.oma"));
    EXPECT_TRUE(fs::exists(FDir / "net-jobs" / "1234.oma.bak"));
}

TEST_F(TCliProgramTest, OverTcpAHostThatHangsUpMidReplyIsSaidSoAndTheNextConnectionWorks) {
    const std::string url = StartNetHost(FDir / "jobs", {"--hang-up", "job"});
    const auto start = std::chrono::steady_clock::now();
    const TResult dropped = Cli({"fetch", "1234", "--port", url});
    EXPECT_EQ(dropped.Exit, 4) << dropped;
    EXPECT_EQ(dropped.Err, "trevalon-cli: The host closed the connection\n");
    // Said at once, not after the reply timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    // The simulator takes the next connection with a new session; it hangs up
    // again at the job, so the conversation gets as far again.
    const TResult again = Cli({"fetch", "1234", "--port", url});
    EXPECT_EQ(again.Exit, 4) << again;
    EXPECT_EQ(again.Err, "trevalon-cli: The host closed the connection\n");
}

TEST_F(TCliProgramTest, OverTcpARefusedConnectionOrABadUrlIsALinkFailure) {
    const std::string url = StartNetHost(FDir / "jobs");
    kill(FNetHost, SIGTERM);
    int status = 0;
    waitpid(FNetHost, &status, 0);
    FNetHost = -1;
    const TResult refused = Cli({"fetch", "1234", "--port", url});
    EXPECT_EQ(refused.Exit, 3) << refused;
    EXPECT_EQ(refused.Err, "trevalon-cli: Cannot connect to " + url.substr(9) +
                               ": Connection refused\n");
    // A URL that names no port is a usage fault: nothing is tried.
    const TResult bad = Cli({"fetch", "1234", "--port", "rfc2217://[::1]"});
    EXPECT_EQ(bad.Exit, 2) << bad;
    EXPECT_EQ(bad.Err.substr(0, bad.Err.find('\n')),
              "trevalon-cli: --port rfc2217://[::1]: Not a network address: rfc2217://[::1] (no port)");
}

// A serial device server (ser2net) bridging loopback TCP to the simulator's
// pseudo-terminal: raw bytes on one port, Telnet with COM port control on
// the other. Fetch and store both ways match the serial line, and the speed
// asked for over COM port control is the one the simulator's line runs at.
TEST_F(TCliProgramTest, ThroughADeviceServerRawAndWithPortControl) {
    const char* const candidates[] = {"/usr/sbin/ser2net", "/usr/bin/ser2net"};
    std::string ser2net;
    for (const char* path : candidates)
        if (fs::exists(path)) ser2net = path;
    ASSERT_FALSE(ser2net.empty()) << "ser2net is not installed: run scripts/deps.sh";

    // The simulator answers only while its line runs at 38400 baud: the serial
    // line and the raw server are set so, the COM port control server is set
    // to 9600 and must be told 38400 by the link.
    StartHost({"--hear-bauds", "38400"});
    std::ofstream(FDir / "settings.dat", std::ios::binary)
        << "Port=" << FLink.string() << "\r\nBaudRate=38400\r\nParity=None\r\nDataBits=8\r\n"
        << "StopBits=1\r\nTracerMode=Init\r\nPauseMode=N\r\n";
    // The serial line alone first: once ser2net runs, its probes' connections
    // open the same device, and it may read what the program writes there.
    const TResult serial = Cli({"fetch", "1234", "-o", (FDir / "serial.oma").string()});
    ASSERT_EQ(serial.Exit, 0) << serial;
    const std::uint16_t rawPort = FreeLoopbackPort();
    std::uint16_t telnetPort = FreeLoopbackPort();
    while (telnetPort == rawPort) telnetPort = FreeLoopbackPort();
    const std::string device = fs::read_symlink(FLink).string();
    std::ofstream(FDir / "ser2net.yaml")
        << "connection: &raw\n  accepter: tcp,127.0.0.1," << rawPort
        << "\n  connector: serialdev," << device << ",38400n81,local\n"
        << "connection: &control\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnetPort
        << "\n  connector: serialdev," << device << ",9600n81,local\n";
    FSer2net = Spawn({ser2net, "-n", "-u", "-P", (FDir / "ser2net.pid").string(), "-c",
                      (FDir / "ser2net.yaml").string()},
                     (FDir / "ser2net.out").string(), (FDir / "ser2net.out").string());
    ASSERT_GT(FSer2net, 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!LoopbackListening(rawPort) || !LoopbackListening(telnetPort)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline)
            << "ser2net did not listen: " << ReadFile(FDir / "ser2net.out");
        std::this_thread::sleep_for(20ms);
    }

    auto withoutFile = [](std::string out) { return out.substr(0, out.find("output: ")); };
    const std::string raw = "socket://127.0.0.1:" + std::to_string(rawPort);
    const TResult overRaw = Cli({"fetch", "1234", "-o", (FDir / "raw.oma").string(), "--port", raw});
    ASSERT_EQ(overRaw.Exit, 0) << overRaw;
    EXPECT_EQ(withoutFile(overRaw.Out), withoutFile(serial.Out));
    EXPECT_EQ(ReadFile(FDir / "raw.oma"), ReadFile(FDir / "serial.oma"));

    // The simulator sends format 4, which packs the trace in bytes of any
    // value, 0xFF among them: the Telnet link must double and undouble them.
    std::ofstream(FDir / "settings.dat", std::ios::binary)
        << "Port=rfc2217://127.0.0.1:" << telnetPort
        << "\r\nBaudRate=38400\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
        << "TracerMode=Init\r\nPauseMode=N\r\n";
    const TResult overTelnet = Cli({"fetch", "1234", "-o",
                                    (FDir / "telnet.oma").string(), "--log",
                                    (FDir / "telnet.log").string()});
    ASSERT_EQ(overTelnet.Exit, 0) << overTelnet << ReadFile(FDir / "telnet.log");
    EXPECT_EQ(withoutFile(overTelnet.Out), withoutFile(overRaw.Out));
    EXPECT_NE(ReadFile(FDir / "telnet.log")
                  .find("The device server takes COM port control: 38400 baud, 8 data bits"),
              std::string::npos)
        << ReadFile(FDir / "telnet.log");
    EXPECT_NE(ReadFile(FDir / "host.log").find("TRCFMT=4;"), std::string::npos);
    EXPECT_EQ(ReadFile(FDir / "host.log").find("not heard"), std::string::npos);

    // The raw port under an rfc2217:// name: the operator is told what it
    // likely is, and the format 4 trace whose 0xFF bytes the Telnet framing
    // took apart never becomes a shape (its checksum fails, or its GS was
    // swallowed and the reply never ends).
    const std::string rawAddress = "127.0.0.1:" + std::to_string(rawPort);
    const TResult misnamed = Cli({"fetch", "1234", "--port", "rfc2217://" + rawAddress});
    EXPECT_TRUE(misnamed.Exit == 4 || misnamed.Exit == 5) << misnamed;
    EXPECT_EQ(misnamed.Out.find("box A"), std::string::npos) << misnamed;
    EXPECT_NE(misnamed.Err.find("trevalon-cli: The device server at " + rawAddress +
                                " does not answer as an rfc2217:// server: if it is a raw TCP "
                                "port, use socket://" + rawAddress + "\n"),
              std::string::npos)
        << misnamed;

    const fs::path edited = FDir / "edited.oma";
    ASSERT_EQ(Cli({"edit", (FDir / "R360_3.oma").string(), "-o", edited.string(), "--vbox", "46"},
                  false)
                  .Exit,
              0);
    const TResult stored = Cli({"store", edited.string(), "--tray", "1234"});
    ASSERT_EQ(stored.Exit, 0) << stored;
    EXPECT_NE(stored.Out.find("verdict: Job stored"), std::string::npos) << stored;
    const TResult back = Cli({"fetch", "1234", "--port", raw});
    ASSERT_EQ(back.Exit, 0) << back;
    EXPECT_NEAR(Figure(back.Out, "box B"), 46.00, 0.05) << back;
}

// A host whose packet is damaged on the way is asked for it again, and the
// resend gives the figures of an undamaged conversation: the sample's stated
// measurements, and an edit stored and fetched back. The second packet of each
// session is damaged on the serial line (the device descriptions), the third
// over TCP (the job's trace, the store's grant).
TEST_F(TCliProgramTest, ADamagedPacketIsAskedForAgainAndGivesTheSameFigures) {
    fs::create_directories(FDir / "net-jobs");
    fs::copy_file(FDir / "jobs" / "1234.oma", FDir / "net-jobs" / "1234.oma");
    std::vector<std::string> damageSecond = SampleAsItIs;
    damageSecond.insert(damageSecond.end(), {"--corrupt", "2"});
    StartHost(damageSecond);
    std::vector<std::string> damageThird = SampleAsItIs;
    damageThird.insert(damageThird.end(), {"--corrupt", "3"});
    const std::string url = StartNetHost(FDir / "net-jobs", damageThird);
    const fs::path edited = FDir / "edited.oma";
    ASSERT_EQ(Cli({"edit", (FDir / "R360_3.oma").string(), "-o", edited.string(), "--vbox", "46"},
                  false)
                  .Exit,
              0);

    for (const std::string& port : {FLink.string(), url}) {
        SCOPED_TRACE(port);
        const fs::path log = FDir / "comm.log";
        const fs::path transcript = FDir / "session.jsonl";
        fs::remove(log);
        fs::remove(transcript);
        const TResult fetched = Cli({"fetch", "1234", "--port", port, "-o",
                                     (FDir / "out.oma").string(), "--log", log.string(),
                                     "--transcript", transcript.string()});
        ASSERT_EQ(fetched.Exit, 0) << fetched;
        EXPECT_NEAR(Figure(fetched.Out, "box A"), 51.00, 0.01) << fetched;
        EXPECT_NEAR(Figure(fetched.Out, "box B"), 44.01, 0.01);
        EXPECT_NEAR(Figure(fetched.Out, "circumference"), 150.76, 0.05);
        EXPECT_EQ(Figure(fetched.Out, "DBL"), 20.00);
        EXPECT_EQ(Figure(fetched.Out, "points"), 360);
        // The log shows the damaged packet's checksum error, the NAK sent and
        // the resend taken; the transcript has the NAK among the client's
        // bytes and the checksum error before it.
        const std::string text = ReadFile(log);
        EXPECT_NE(text.find("Checksum error: expected CRC="), std::string::npos) << text;
        EXPECT_NE(text.find("<nak>"), std::string::npos) << text;
        const std::string recorded = ReadFile(transcript);
        EXPECT_NE(recorded.find("\"checksum error\""), std::string::npos) << recorded;
        EXPECT_NE(recorded.find("\\u0015"), std::string::npos) << recorded;

        const TResult stored = Cli({"store", edited.string(), "--tray", "1234", "--port", port});
        ASSERT_EQ(stored.Exit, 0) << stored;
        EXPECT_NE(stored.Out.find("verdict: Job stored"), std::string::npos) << stored;
        const TResult back = Cli({"fetch", "1234", "--port", port});
        ASSERT_EQ(back.Exit, 0) << back;
        EXPECT_NEAR(Figure(back.Out, "box B"), 46.00, 0.05) << back;
        EXPECT_NEAR(Figure(back.Out, "box A"), 51.00, 0.05) << back;
    }
}

// A host whose every packet and resend is damaged: the command line ends with
// the checksum text after two resends, writes no job file, and the host
// stores nothing.
TEST_F(TCliProgramTest, AHostWhosePacketsAreAlwaysDamagedEndsWithTheChecksumError) {
    StartHost({"--corrupt-always"});
    const std::string job = ReadFile(FDir / "jobs" / "1234.oma");
    const fs::path out = FDir / "out.oma";
    const TResult fetched = Cli({"fetch", "1234", "-o", out.string()}, true, 10s);
    EXPECT_EQ(fetched.Exit, 4) << fetched;
    EXPECT_EQ(fetched.Err,
              "trevalon-cli: The host's reply was damaged on the line (checksum error); if this "
              "host is known to send wrong checksums, turn off checksum verification in "
              "Settings\n");
    EXPECT_FALSE(fs::exists(out));
    const TResult stored =
        Cli({"store", (FDir / "R360_3.oma").string(), "--tray", "1234", "--json"}, true, 10s);
    EXPECT_EQ(stored.Exit, 4) << stored;
    EXPECT_NE(stored.Out.find("checksum error"), std::string::npos) << stored;
    EXPECT_EQ(ReadFile(FDir / "jobs" / "1234.oma"), job);
    EXPECT_FALSE(fs::exists(FDir / "jobs" / "1234.oma.bak"));
    const std::string log = ReadFile(FDir / "host.log");
    EXPECT_NE(log.find("NAK: packet sent again (2 of 2) with one bit flipped"), std::string::npos)
        << log;
}

// The flood a misbehaving host sends after acknowledging the job request, and
// over how long: more than the client may hold, faster than it logs byte by byte.
constexpr std::size_t FloodBytes = 50u * 1024 * 1024;
constexpr auto FloodTime = 10s;
constexpr std::size_t FloodBlock = 512 * 1024;

// A host on loopback TCP that answers the request up to the job request, then
// acknowledges it and floods the line, with FS first or without: FloodBytes
// over about FloodTime, then nothing, the connection kept open until the
// client closes it.
class TFloodingHost {
public:
    explicit TFloodingHost(bool withFS) : FWithFS(withFS) {
        FListen = BoundLoopbackSocket(FPort);
        ::listen(FListen, 1);
        FThread = std::thread([this] { Serve(); });
    }
    ~TFloodingHost() {
        FStop = true;
        FThread.join();
        ::close(FListen);
    }
    std::string Url() const { return "socket://127.0.0.1:" + std::to_string(FPort); }
    std::size_t Flooded() const { return FFlooded; }

private:
    static std::string Reply(const char* name) {
        return ReadFile(fs::path(TREVALON_TEST_DATA_DIR) / ".." / "data" / "replies" /
                        (std::string(name) + ".reply"));
    }
    bool Send(int fd, const std::string& bytes) {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    void Serve() {
        pollfd p{FListen, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) return;
        const int fd = ::accept(FListen, nullptr, nullptr);
        const std::string answers[] = {"\x06" + Reply("init-fmt1"), "\x06" + Reply("edger-fmt1"),
                                       FWithFS ? std::string("\x06\x1c") : std::string("\x06")};
        int packets = 0;
        char buffer[4096];
        while (packets < 3 && !FStop) {
            pollfd c{fd, POLLIN, 0};
            if (::poll(&c, 1, 100) != 1) continue;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            for (ssize_t i = 0; i < got; ++i)
                if (buffer[i] == '\x1d' && !Send(fd, answers[packets++])) FStop = true;
        }
        const std::string block(FloodBlock, 'z');
        const auto start = std::chrono::steady_clock::now();
        const auto every = FloodTime / (FloodBytes / FloodBlock);
        for (std::size_t n = 0; packets == 3 && !FStop && FFlooded < FloodBytes; ++n) {
            std::this_thread::sleep_until(start + every * n);
            if (!Send(fd, block)) break;
            FFlooded += block.size();
        }
        // Silence, until the client gives up and closes.
        while (!FStop) {
            pollfd c{fd, POLLIN, 0};
            if (::poll(&c, 1, 100) == 1 && ::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
        }
        ::close(fd);
    }

    bool FWithFS;
    int FListen = -1;
    std::uint16_t FPort = 0;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::atomic<std::size_t> FFlooded{0};
};

// A host flooding the line without ending its reply, before any FS and after
// one: the reply timeout ends the conversation on time, the flood's bytes
// costing the client no more than it can take as they come.
TEST_F(TCliProgramTest, AFloodingHostIsEndedByTheReplyTimeout) {
    TFloodingHost beforeFS(false);
    TFloodingHost afterFS(true);
    TResult results[2];
    std::chrono::steady_clock::duration took[2];
    double cpuSeconds[2] = {0, 0};
    std::thread runs[2];
    for (int i = 0; i < 2; ++i)
        runs[i] = std::thread([&, i] {
            const auto start = std::chrono::steady_clock::now();
            const fs::path log = FDir / ("flood-" + std::to_string(i) + ".log");
            std::vector<std::string> args = {TREVALON_CLI_EXE,
                                             "fetch",
                                             "1234",
                                             "--port",
                                             (i == 0 ? beforeFS : afterFS).Url(),
                                             "--log",
                                             log.string(),
                                             "--settings",
                                             (FDir / "settings.dat").string()};
            const fs::path out = FDir / ("flood-" + std::to_string(i) + ".out");
            const fs::path err = FDir / ("flood-" + std::to_string(i) + ".err");
            const pid_t pid = Spawn(args, out.string(), err.string());
            int status = 0;
            rusage usage{};
            // The reply timeout and a second, with a wide margin for a loaded
            // machine: a client still busy with the flood is stopped here.
            const auto deadline = start + 15s + 1s + 8s;
            while (pid > 0 && wait4(pid, &status, WNOHANG, &usage) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    kill(pid, SIGKILL);
                    wait4(pid, &status, 0, &usage);
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
            took[i] = std::chrono::steady_clock::now() - start;
            cpuSeconds[i] = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            results[i].Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            results[i].Out = ReadFile(out);
            results[i].Err = ReadFile(err);
        });
    for (std::thread& run : runs) run.join();
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "before FS" : "after FS");
        const std::string log = ReadFile(FDir / ("flood-" + std::to_string(i) + ".log"));
        const std::string seen = "after " +
                                 std::to_string(std::chrono::duration<double>(took[i]).count()) +
                                 " s, " + std::to_string(cpuSeconds[i]) + " s of CPU; log ends:\n" +
                                 log.substr(log.size() > 600 ? log.size() - 600 : 0);
        EXPECT_EQ(results[i].Exit, 5) << results[i] << seen;
        EXPECT_EQ(results[i].Err, "trevalon-cli: Timeout waiting for host\n") << seen;
        // The log keeps its last lines: the bytes dropped one by one after the
        // overflow of the reply (after FS) and the count of the rest, then the end.
        EXPECT_NE(log.find(" more bytes before FS dropped (only the first 4096 are logged "
                           "one by one)"),
                  std::string::npos)
            << seen;
        EXPECT_NE(log.find("------------ Timeout waiting for host ---------"), std::string::npos)
            << seen;
        std::printf("[ flood %s ] ended %.2f s after the start, %.2f s of CPU\n",
                    i == 0 ? "before FS" : "after FS",
                    std::chrono::duration<double>(took[i]).count(), cpuSeconds[i]);
    }
    // The whole flood went out: the client took it as it came.
    EXPECT_EQ(beforeFS.Flooded(), FloodBytes);
    EXPECT_EQ(afterFS.Flooded(), FloodBytes);
}

}  // namespace
