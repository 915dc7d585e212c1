// trevalon-host itself, on a pseudo-terminal, driven the way Trevalon drives it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

#include "ClientPackets.h"
#include "tools/HostLine.h"

using namespace client;
using namespace std::chrono_literals;

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    auto deadline = TClock::now() + limit;
    while (!condition()) {
        if (TClock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class THostProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = std::filesystem::temp_directory_path() /
              ("trevalon-host-run-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(FDir);
        std::filesystem::create_directories(FDir);
        std::ofstream(FDir / "1234.oma", std::ios::binary) << Sample("R360_3.oma");
        FLink = FDir / "line";
    }

    void TearDown() override {
        if (FD >= 0) close(FD);
        // A simulator still running ends here, and must end cleanly: a
        // sanitizer report in it fails the test.
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            EXPECT_EQ(ExitCode(), 0);
        }
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
        std::filesystem::remove_all(FDir);
    }

    // Starts the program and opens its line the way the client's port does.
    void Start(std::vector<std::string> extra) {
        std::vector<std::string> args = {
            TREVALON_HOST_EXE,          "--jobs", FDir.string(), "--link", FLink.string(), "--log",
            (FDir / "host.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&FPid, TREVALON_HOST_EXE, nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(FLink); }));
        FD = open(FLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(FD, 0);
        SetBaud(B9600);
    }

    void SetBaud(speed_t speed) {
        termios tio{};
        ASSERT_EQ(tcgetattr(FD, &tio), 0);
        cfmakeraw(&tio);
        cfsetspeed(&tio, speed);
        ASSERT_EQ(tcsetattr(FD, TCSANOW, &tio), 0);
    }

    // Reads until a GS arrives (or the bytes read end with Until), the line
    // hangs up, or the deadline passes.
    std::string ReadReply(char until = GS) {
        std::string reply;
        auto deadline = TClock::now() + 10s;
        while (reply.find(GS) == std::string::npos && (reply.empty() || reply.back() != until) &&
               TClock::now() < deadline) {
            pollfd pfd{FD, POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0) continue;
            char buffer[4096];
            auto n = read(FD, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EAGAIN) continue;
                FHungUp = true;
                break;
            }
            reply.append(buffer, static_cast<std::size_t>(n));
        }
        return reply;
    }

    std::string Exchange(const std::string& body) {
        std::string packet = GoldenFrame(body);
        EXPECT_EQ(write(FD, packet.data(), packet.size()), static_cast<ssize_t>(packet.size()));
        std::string reply = ReadReply();
        if (!FHungUp) {
            EXPECT_EQ(write(FD, &ACK, 1), 1);
        }
        return reply;
    }

    // The program's exit code once it has ended by itself.
    int ExitCode() {
        int status = -1;
        bool ended = WaitFor([&] { return waitpid(FPid, &status, WNOHANG) == FPid; });
        EXPECT_TRUE(ended);
        if (ended) FPid = -1;
        // A signal (a sanitizer's abort, a crash) reads as its negative number.
        return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
    }

    std::filesystem::path FDir;
    std::filesystem::path FLink;
    pid_t FPid = -1;
    int FD = -1;
    bool FHungUp = false;
};

TEST_F(THostProgramTest, RequestAndStoreOverAPseudoTerminal) {
    Start({"--format", "3", "--points", "500"});
    const std::string ack(1, ACK);
    EXPECT_EQ(Exchange(InitBody()), ack + ReplyFile("init-fmt1"));
    EXPECT_EQ(Exchange(EdgerDescriptionBody()),
              ack + ReplyFile("edger-granted-3-500"));
    // The sample job as served, for tray 1234.
    const std::string job = Exchange(JobRequestBody("7", "1234", 3, 500));
    EXPECT_EQ(job, ack + GoldenFrame(Replaced(ReplyBody("served-R360_3-fmt3-500"), JobRecord("77"),
                                              JobRecord("1234"))));
    ASSERT_TRUE(JobTrace(job, 500).has_value());

    EXPECT_EQ(Exchange(InitBody()), ack + ReplyFile("init-fmt1"));
    EXPECT_EQ(Exchange(NoInitStoreBody("1234")), ack + ReplyFile("grant-noinit-3-500"));
    // The sample's trace at 500 points turned by one point, sent in format 3.
    const std::string edited = UploadRadii("turned-fmt1-500");
    ASSERT_EQ(edited.size(), 500u * 4);
    std::string verdict = Exchange(UploadBody("turned-fmt3-500", "TRC"));
    EXPECT_EQ(verdict, ack + ReplyFile("verdict-noinit-1234"));
    EXPECT_EQ(TOmaJobFile::Parse(ReadFile(FDir / "1234.oma")).FirstTrace().Radii, edited);
    EXPECT_EQ(ReadFile(FDir / "1234.oma.bak"), Sample("R360_3.oma"));

    kill(FPid, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(FLink)));
    std::string log = ReadFile(FDir / "host.log");
    EXPECT_NE(log.find("<- <fs>REQ=INI<cr>\n"), std::string::npos);
    EXPECT_NE(log.find("-> <ack>\n"), std::string::npos);
    EXPECT_NE(log.find("upload 1234: stored 500 points in format 3"), std::string::npos);
}

TEST_F(THostProgramTest, HearsTheProbeOnlyAtItsSpeed) {
    Start({"--hear-bauds", "38400", "--exchanges", "2"});
    std::string probe = PacketFile("probe");
    ASSERT_EQ(write(FD, probe.data(), probe.size()), static_cast<ssize_t>(probe.size()));
    // The speed change reaches the host through the pty; whatever the host answered at
    // 9600 baud would arrive before the answer at 38400.
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(FDir / "host.log").find("not heard: the line runs at 9600 baud") !=
               std::string::npos;
    }));
    SetBaud(B38400);
    EXPECT_EQ(Exchange(ProbeBody()), std::string(1, ACK) + ReplyFile("init-fmt1"));
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(FLink)));
}

TEST_F(THostProgramTest, HangsUpMidReply) {
    Start({"--hang-up", "job"});
    Exchange(InitBody());
    Exchange(EdgerDescriptionBody());
    std::string reply = Exchange(JobRequestBody("7", "1234", 1, 400));
    EXPECT_TRUE(FHungUp);
    EXPECT_EQ(reply.substr(0, 2), std::string(1, ACK) + FS);
    EXPECT_EQ(reply.find(GS), std::string::npos);
    EXPECT_EQ(ExitCode(), 0);
}

TEST_F(THostProgramTest, AnswersADamagedPacketWithNakAndResendsItsOwnOnNak) {
    Start({"--corrupt", "2"});
    const std::string ack(1, ACK);
    const std::string nak(1, NAK);
    EXPECT_EQ(Exchange(InitBody()), ack + ReplyFile("init-fmt1"));
    std::string damaged = GoldenFrame(EdgerDescriptionBody());
    damaged[10] = static_cast<char>(damaged[10] ^ 0x08);
    ASSERT_EQ(write(FD, damaged.data(), damaged.size()), static_cast<ssize_t>(damaged.size()));
    EXPECT_EQ(ReadReply(NAK), nak);
    // The second packet it sends is damaged, and asked for again it comes intact.
    const std::string packet = GoldenFrame(EdgerDescriptionBody());
    ASSERT_EQ(write(FD, packet.data(), packet.size()), static_cast<ssize_t>(packet.size()));
    const std::string first = ReadReply();
    const std::string intact = ack + ReplyFile("edger-fmt1");
    ASSERT_EQ(first.size(), intact.size()) << first;
    EXPECT_NE(first, intact);
    EXPECT_EQ(CheckPacket(first.substr(1)).Kind, TPacketCheck::ckBad);
    ASSERT_EQ(write(FD, nak.data(), 1), 1);
    EXPECT_EQ(ReadReply(), ReplyFile("edger-fmt1"));
    ASSERT_EQ(write(FD, ack.data(), 1), 1);
    EXPECT_EQ(Exchange(InitBody()), ack + ReplyFile("init-fmt1"));
    const std::string log = ReadFile(FDir / "host.log");
    EXPECT_NE(log.find("checksum error (expected CRC="), std::string::npos) << log;
    EXPECT_NE(log.find("(one bit flipped)"), std::string::npos) << log;
    EXPECT_NE(log.find("NAK: packet sent again (1 of 2)"), std::string::npos) << log;
}

TEST(HostLogTest, RendersLikeTheCommunicationLog) {
    EXPECT_EQ(FormatLogData("t", "->",
                            "\x06\x1cREQ=INI\rOMAV=3.02\r\n\x1e"
                            "CRC=1\r\x1d\xe9"),
              "t -> <ack><fs>REQ=INI<cr>\n"
              "t -> OMAV=3.02<crlf>\n"
              "t -> <rs>CRC=1<cr>\n"
              "t -> <gs><#233>\n");
    EXPECT_EQ(FormatLogData("t", "<-", ""), "");
}

}  // namespace
