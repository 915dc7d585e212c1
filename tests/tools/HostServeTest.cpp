// trevalon-host as a lab's host: many devices at once over loopback TCP and
// pseudo-terminals, clients that vanish at any point, devices that end their
// records with CR LF or name themselves in other ways. The devices here are
// wireclient's, written from the standard's description.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "OmaWireClient.h"

extern char** environ;

using namespace std::chrono_literals;
using namespace wireclient;

namespace servetest {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SampleText(const std::string& name) {
    return FileText(fs::path(TREVALON_SAMPLES_DIR) / name);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = TClock::now() + limit;
    while (!condition()) {
        if (TClock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A trace of Count points that no other client sends: radii around 2500
// shaped by Seed.
std::vector<int> Trace(int seed, int count = 400) {
    std::vector<int> radii;
    for (int i = 0; i < count; ++i) radii.push_back(2300 + (seed * 7 + i * 13) % 500);
    return radii;
}

const std::vector<std::string> Init = {"REQ=INI", "OMAV=3.10"};

std::vector<std::string> EdgerDescription(const std::string& dev) {
    return {"ANS=INI",     "DEV=" + dev,      "VEN=WIRE",      "MODEL=T1", "TRCFMT=1;400;E;R;F",
            "DEF=\"ASK\"", "D=DBL;HBOX;VBOX", "ENDDEF=\"ASK\""};
}

std::vector<std::string> TracerDescription(const std::string& dev) {
    return {"ANS=INI", "DEV=" + dev, "VEN=WIRE", "MODEL=T2", "TRCFMT=1;400;E;R;F"};
}

// A device's fetch: initialization, description, job request. Returns the
// job's reply (Framed false when any step failed).
TReply Fetch(TConnection& line, const std::string& tray, const std::string& dev = "EDG") {
    if (line.Exchange(Init).Status() != "0") return {};
    const TReply defined = line.Exchange(EdgerDescription(dev));
    if (defined.Status() != "0") return defined;
    return line.Exchange(
        {"REQ=" + defined.Value("DEF"), "JOB=\"" + tray + "\"", "TRCFMT=1;400;E;R;F"});
}

// A tracer's store of Radii under Tray; returns the verdict.
TReply Store(TConnection& line, const std::string& tray, const std::vector<int>& radii,
             const std::string& dev = "TRC") {
    if (line.Exchange(Init).Status() != "0") return {};
    const TReply defined = line.Exchange(TracerDescription(dev));
    if (defined.Status() != "0") return defined;
    const std::string def = defined.Value("DEF");
    const TReply granted = line.Exchange({"REQ=" + def, "JOB=\"" + tray + "\""});
    if (granted.Status() != "0") return granted;
    std::vector<std::string> upload = {"ANS=" + def, "JOB=\"" + tray + "\"",
                                       "TRCFMT=1;" + std::to_string(radii.size()) + ";E;R;F"};
    for (const std::string& record : Format1(radii)) upload.push_back(record);
    return line.Exchange(upload);
}

class THostServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() /
               ("trevalon-host-serve-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FDir);
        fs::create_directories(FDir / "jobs");
    }
    void TearDown() override {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            int status = 0;
            const bool ended = WaitFor([&] { return waitpid(FPid, &status, WNOHANG) == FPid; });
            if (!ended) {
                kill(FPid, SIGKILL);
                waitpid(FPid, &status, 0);
            }
            EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "the host did not end cleanly on SIGTERM: " << Log();
        }
        fs::remove_all(FDir);
    }

    void AddJob(const std::string& tray) {
        std::ofstream(FDir / "jobs" / (tray + ".oma"), std::ios::binary)
            << SampleText("R360_3.oma");
    }
    std::string Log() const { return FileText(FDir / "host.log"); }
    std::string Job(const std::string& tray) const {
        return FileText(FDir / "jobs" / (tray + ".oma"));
    }

    // Starts the host listening on a port of its choosing; returns the port.
    std::uint16_t Listen(std::vector<std::string> extra = {},
                         const std::string& address = "127.0.0.1") {
        std::vector<std::string> args = {
            TREVALON_HOST_EXE, "--jobs", (FDir / "jobs").string(),    "--listen",
            address + ":0",    "--log",  (FDir / "host.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Under AddressSanitizer freed memory waits in a quarantine, which would read
        // as growth: the host reuses it at once instead (other builds ignore this).
        std::vector<std::string> environment;
        std::string sanitizer = "ASAN_OPTIONS=";
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            if (text.rfind("ASAN_OPTIONS=", 0) == 0)
                sanitizer = text + ":";
            else
                environment.push_back(text);
        }
        environment.push_back(sanitizer + "quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
        std::vector<char*> envp;
        for (auto& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&FPid, TREVALON_HOST_EXE, nullptr, nullptr, argv.data(), envp.data()),
                  0);
        const std::string mark = "listening on " + address + ":";
        std::uint16_t port = 0;
        WaitFor([&] {
            const std::string log = Log();
            const auto at = log.find(mark);
            const auto end = at == std::string::npos ? at : log.find(',', at);
            if (end == std::string::npos) return false;
            port = static_cast<std::uint16_t>(
                std::stoi(log.substr(at + mark.size(), end - at - mark.size())));
            return true;
        });
        EXPECT_NE(port, 0) << "the host did not say where it listens: " << Log();
        return port;
    }

    bool Alive() {
        int status = 0;
        return FPid > 0 && waitpid(FPid, &status, WNOHANG) == 0;
    }

    // The host's resident memory in KiB.
    long ResidentKiB() const {
        std::ifstream status("/proc/" + std::to_string(FPid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    }

    // A raw pseudo-terminal opened through the host's link at Path.
    static int OpenLine(const fs::path& path) {
        if (!WaitFor([&] { return fs::exists(path); })) return -1;
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (fd < 0 || tcgetattr(fd, &tio) != 0) return fd;
        cfmakeraw(&tio);
        cfsetspeed(&tio, B115200);
        tcsetattr(fd, TCSANOW, &tio);
        return fd;
    }

    fs::path FDir;
    pid_t FPid = -1;
};

// 20 TCP clients and 2 serial lines at once, each fetching and storing its own
// job 50 times while one client stays connected without a word: every
// conversation completes, and after each store the job holds exactly the
// trace its client sent.
TEST_F(THostServeTest, ServesManyDevicesAtOnce) {
    constexpr int Clients = 20;
    constexpr int Rounds = 50;
    constexpr int LineRounds = 10;
    for (int i = 0; i < Clients + 2; ++i) AddJob("T" + std::to_string(i));
    const std::uint16_t port =
        Listen({"--link", (FDir / "line0").string(), "--link", (FDir / "line1").string()});
    ASSERT_NE(port, 0);
    TConnection silent;
    ASSERT_TRUE(silent.Connect(port));

    std::atomic<int> failures{0};
    std::vector<std::string> reports(Clients + 2);
    const auto work = [&](TConnection& line, int client, int rounds) {
        const std::string tray = "T" + std::to_string(client);
        for (int round = 0; round < rounds; ++round) {
            const TReply job = Fetch(line, tray);
            if (job.Status() != "0" || RadiiOf(job.Records).size() != 400) {
                reports[client] = "fetch " + std::to_string(round) + ": " + job.Raw;
                ++failures;
                return;
            }
            const std::vector<int> sent = Trace(client * 1000 + round);
            const TReply verdict = Store(line, tray, sent);
            if (verdict.Status() != "0") {
                reports[client] = "store " + std::to_string(round) + ": " + verdict.Raw;
                ++failures;
                return;
            }
            if (FirstFileTrace(Job(tray)) != sent) {
                reports[client] = "store " + std::to_string(round) + ": the file differs";
                ++failures;
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int client = 0; client < Clients; ++client)
        threads.emplace_back([&, client] {
            TConnection line;
            if (!line.Connect(port)) {
                reports[client] = "cannot connect";
                ++failures;
                return;
            }
            work(line, client, Rounds);
        });
    for (int n = 0; n < 2; ++n)
        threads.emplace_back([&, n] {
            const int fd = OpenLine(FDir / ("line" + std::to_string(n)));
            if (fd < 0) {
                reports[Clients + n] = "no line";
                ++failures;
                return;
            }
            TConnection line(fd);
            work(line, Clients + n, LineRounds);
        });
    for (auto& thread : threads) thread.join();
    for (const std::string& report : reports) EXPECT_EQ(report, "");
    EXPECT_EQ(failures, 0);
    // The silent client held its connection through it all and is still served.
    const TReply late = Fetch(silent, "T0");
    EXPECT_EQ(late.Status(), "0") << late.Raw;
    for (int i = 0; i < Clients; ++i)
        EXPECT_TRUE(fs::exists(FDir / "jobs" / ("T" + std::to_string(i) + ".oma.bak")));
}

// A client that goes at any point of a fetch or a store, by closing or by a
// reset, ends its own session only: the host keeps serving, and its memory
// does not grow with the number of such clients.
TEST_F(THostServeTest, SurvivesClientsThatVanishAtAnyPoint) {
    AddJob("1234");
    const std::uint16_t port = Listen({"--brief-log"});
    ASSERT_NE(port, 0);
    const std::vector<int> radii = Trace(5);
    std::vector<std::vector<std::string>> fetch = {
        Init, EdgerDescription("EDG"), {"REQ=7", "JOB=\"1234\"", "TRCFMT=1;400;E;R;F"}};
    std::vector<std::vector<std::string>> store = {Init,
                                                   TracerDescription("TRC"),
                                                   {"REQ=8", "JOB=\"1234\""},
                                                   {"ANS=8", "JOB=\"1234\"", "TRCFMT=1;400;E;R;F"}};
    for (const std::string& record : Format1(radii)) store.back().push_back(record);

    // Every way to go: before FS, mid-message, after a message unanswered,
    // after the reply without its ACK; each by close and by reset.
    const auto vanish = [&](const std::vector<std::vector<std::string>>& conversation) {
        for (std::size_t step = 0; step < conversation.size(); ++step) {
            for (int way = 0; way < 4; ++way) {
                for (bool reset : {false, true}) {
                    TConnection line;
                    ASSERT_TRUE(line.Connect(port)) << "step " << step << " way " << way;
                    for (std::size_t done = 0; done < step; ++done)
                        ASSERT_EQ(line.Exchange(conversation[done]).Status(), "0");
                    const std::string message = Message(conversation[step], "\r");
                    if (way == 1) line.Send(message.substr(0, message.size() / 2));
                    if (way >= 2) line.Send(message);
                    if (way == 3) line.ReadReply();
                    reset ? line.Reset() : line.Close();
                }
            }
        }
    };
    const auto round = [&] {
        vanish(fetch);
        vanish(store);
        // A half-closed client: it sends its request and ends its sending; the reply still comes.
        TConnection half;
        ASSERT_TRUE(half.Connect(port));
        half.Send(Message(Init, "\r"));
        shutdown(half.Fd(), SHUT_WR);
        EXPECT_EQ(Read(half.ReadReply()).Status(), "0");
    };
    round();
    ASSERT_TRUE(Alive()) << Log();
    const long before = ResidentKiB();
    for (int i = 0; i < 5; ++i) round();
    ASSERT_TRUE(Alive()) << Log();
    TConnection line;
    ASSERT_TRUE(line.Connect(port));
    // A tray granted to a client that went holds until its session has seen it go.
    std::string status;
    WaitFor([&] { return (status = Store(line, "1234", radii).Status()) != "3"; });
    EXPECT_EQ(status, "0");
    EXPECT_EQ(FirstFileTrace(Job("1234")), radii);
    EXPECT_EQ(Fetch(line, "1234").Status(), "0");
    const long after = ResidentKiB();
    // Sessions leave nothing behind: a little allocator slack at most.
    EXPECT_LT(after - before, 1024) << before << " KiB before, " << after << " KiB after";
    EXPECT_NE(Log().find("closed by the client"), std::string::npos) << Log();
    // The brief log holds a line a session, no bytes and no exchanges.
    EXPECT_EQ(Log().find("<- "), std::string::npos);
    EXPECT_EQ(Log().find("-- init: "), std::string::npos);
    EXPECT_EQ(Log().find("is session #"), std::string::npos);
    // Some replies met a closed connection: the write failed instead of killing the host.
    EXPECT_NE(Log().find("the client went away mid-reply"), std::string::npos) << Log();
}

// A client that connects and never speaks, or stops mid-message, is closed
// after the idle timeout; others are served meanwhile.
TEST_F(THostServeTest, ClosesIdleClientsAfterTheTimeout) {
    AddJob("1234");
    const std::uint16_t port = Listen({"--idle-timeout", "300"});
    ASSERT_NE(port, 0);
    TConnection mute;
    ASSERT_TRUE(mute.Connect(port));
    TConnection stalled;
    ASSERT_TRUE(stalled.Connect(port));
    stalled.Send(Message(Init, "\r").substr(0, 5));
    TConnection busy;
    ASSERT_TRUE(busy.Connect(port));
    EXPECT_EQ(Fetch(busy, "1234").Status(), "0");
    EXPECT_TRUE(mute.ClosedWithin(5s)) << Log();
    EXPECT_TRUE(stalled.ClosedWithin(5s)) << Log();
    EXPECT_NE(Log().find("closed when idle"), std::string::npos) << Log();
    // A new client is served as before.
    TConnection next;
    ASSERT_TRUE(next.Connect(port));
    EXPECT_EQ(Fetch(next, "1234").Status(), "0");
}

// A client flooding the host with bytes that never make a message holds only
// its own session: another is served meanwhile, and the flood's memory stays bounded.
TEST_F(THostServeTest, AFloodingClientDoesNotHoldUpOthers) {
    AddJob("1234");
    const std::uint16_t port = Listen();
    ASSERT_NE(port, 0);
    std::atomic<bool> flooding{true};
    TConnection flood;
    ASSERT_TRUE(flood.Connect(port));
    std::thread flooder([&] {
        const std::string junk(64 * 1024, 'x');
        std::string first = std::string(1, Fs) + junk;
        flood.Send(first);
        while (flooding) {
            if (!flood.Send(junk)) break;
        }
    });
    TConnection other;
    ASSERT_TRUE(other.Connect(port));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Fetch(other, "1234").Status(), "0");
    const long resident = ResidentKiB();
    flooding = false;
    flooder.join();
    EXPECT_LT(resident, 64 * 1024) << "KiB resident while flooded";
    EXPECT_TRUE(Alive());
}

// A device that ends its records with CR LF and names itself with a type the
// host has no entry for: answered in CR LF, served by its role.
TEST_F(THostServeTest, AnswersEachDeviceInItsOwnRecordEnding) {
    AddJob("1234");
    const std::uint16_t port = Listen();
    ASSERT_NE(port, 0);
    TConnection crlf;
    ASSERT_TRUE(crlf.Connect(port));
    crlf.Ending = "\r\n";
    const TReply init = crlf.Exchange(Init);
    EXPECT_TRUE(init.Framed && init.AllCrLf) << init.Raw;
    EXPECT_EQ(init.Status(), "0");
    const TReply job = Fetch(crlf, "1234", "FSG");
    ASSERT_TRUE(job.Framed) << job.Raw;
    EXPECT_TRUE(job.AllCrLf) << job.Raw;
    EXPECT_EQ(job.Status(), "0");
    const auto sample = FileRecords(SampleText("R360_3.oma"));
    EXPECT_EQ(RadiiOf(job.Records).size(), 400u);
    EXPECT_EQ(job.Value("DBL"), "20.00");

    // The same session back to CR: answered in CR.
    crlf.Ending = "\r";
    const TReply again = crlf.Exchange(Init);
    EXPECT_TRUE(again.Framed && again.AllCr) << again.Raw;
    EXPECT_NE(Log().find("FSG WIRE T1"), std::string::npos) << Log();
}

// Every record of the reply to an unlisted device type says what the host did.
TEST_F(THostServeTest, DevicesAreServedByTheirRole) {
    AddJob("1234");
    const std::uint16_t port = Listen();
    ASSERT_NE(port, 0);
    TConnection line;
    ASSERT_TRUE(line.Connect(port));
    line.Ending = "\r\n";
    // A device that only offers trace formats stores like a tracer, here a
    // job the host does not have yet: it is created with exactly its trace.
    const std::vector<int> radii = Trace(77);
    const TReply verdict = Store(line, "NEW-7", radii, "SCN");
    EXPECT_EQ(verdict.Status(), "0") << verdict.Raw;
    EXPECT_TRUE(verdict.AllCrLf);
    EXPECT_EQ(FirstFileTrace(Job("NEW-7")), radii);
    EXPECT_EQ(RadiiOf(Fetch(line, "NEW-7").Records), radii);
    // One that neither defines records nor offers formats is told its type cannot be served.
    ASSERT_EQ(line.Exchange(Init).Status(), "0");
    const TReply refused = line.Exchange({"ANS=INI", "DEV=LMS", "VEN=WIRE"});
    EXPECT_EQ(refused.Value("STATUS"), "2;\"Cannot serve device type LMS\"") << refused.Raw;
}

// Job files are read at every request: one added or changed while the host
// runs is served as it now is. With --known-jobs-only a new tray is refused.
TEST_F(THostServeTest, ServesJobFilesAsTheyAreNow) {
    const std::uint16_t port = Listen({"--known-jobs-only"});
    ASSERT_NE(port, 0);
    TConnection line;
    ASSERT_TRUE(line.Connect(port));
    EXPECT_EQ(Fetch(line, "88").Status(), "1");
    std::ofstream(FDir / "jobs" / "88.oma", std::ios::binary) << SampleText("R360_3.oma");
    const TReply first = Fetch(line, "88");
    EXPECT_EQ(first.Status(), "0");
    EXPECT_EQ(first.Value("DBL"), "20.00");
    std::ofstream(FDir / "jobs" / "88.oma", std::ios::binary)
        << "JOB=88\nDBL=17.50\nTRCFMT=1;400;E;R;F\n"
        << [] {
               std::string records;
               for (const std::string& record : Format1(Trace(3))) records += record + "\n";
               return records;
           }();
    const TReply changed = Fetch(line, "88");
    EXPECT_EQ(changed.Value("DBL"), "17.50");
    EXPECT_EQ(RadiiOf(changed.Records), Trace(3));
    const TReply refused = Store(line, "89", Trace(4));
    EXPECT_EQ(refused.Value("STATUS"), "1;\"Tray 89 not found\"") << refused.Raw;
    EXPECT_FALSE(fs::exists(FDir / "jobs" / "89.oma"));
}

// A client outside the allow list is closed before a byte of it is read;
// one inside is served.
TEST_F(THostServeTest, ClosesClientsOutsideTheAllowListUnread) {
    AddJob("1234");
    const std::uint16_t port = Listen({"--allow", "127.0.0.1"});
    ASSERT_NE(port, 0);
    TConnection outsider;
    ASSERT_TRUE(outsider.Connect(port, "127.0.0.2"));
    outsider.Send(Message(Init, "\r"));
    EXPECT_EQ(outsider.ReadReply(5s), "");
    EXPECT_TRUE(outsider.Closed) << Log();
    ASSERT_TRUE(WaitFor([&] {
        return Log().find("closed at once: not allowed") != std::string::npos;
    })) << Log();
    const std::string log = Log();
    EXPECT_NE(log.find("connection from 127.0.0.2:"), std::string::npos) << log;
    EXPECT_EQ(log.find("<- "), std::string::npos) << "bytes of the outsider were read: " << log;
    TConnection insider;
    ASSERT_TRUE(insider.Connect(port, "127.0.0.1"));
    EXPECT_EQ(Fetch(insider, "1234").Status(), "0");
}

}  // namespace servetest
