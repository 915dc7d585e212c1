// The window against trevalon-host serving TCP on loopback (socket:// port
// names): the same round trip as over the serial line, and what the operator
// is told when the connection cannot be made or the host ends it.
#include <atomic>
#include <thread>

#include "EndToEndHost.h"
#include "conversation/Conversation.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/LoopbackPort.h"

namespace {

class TNetHostTest : public THostFixture {
protected:
    // Starts trevalon-host listening on Port (0: one of the system's choosing)
    // and returns the URL it serves.
    std::string Listen(const std::vector<std::string>& options, std::uint16_t port = 0) {
        std::filesystem::remove(HostLog());
        std::vector<std::string> args = {TREVALON_HOST_EXE, "--jobs",
                                         FJobs.string(),     "--listen",
                                         "127.0.0.1:" + std::to_string(port), "--log",
                                         HostLog().string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&FPid, TREVALON_HOST_EXE, nullptr, nullptr, argv.data(), environ), 0);
        const std::string mark = "listening on 127.0.0.1:";
        std::string url;
        ProcessEventsUntil(
            [&] {
                const std::string text = FileText(HostLog());
                const std::size_t at = text.find(mark);
                const std::size_t end = at == std::string::npos ? at : text.find(',', at);
                if (end == std::string::npos) return false;
                url = "socket://127.0.0.1:" + text.substr(at + mark.size(), end - at - mark.size());
                return true;
            },
            10s);
        EXPECT_FALSE(url.empty()) << FileText(HostLog());
        return url;
    }

    void StartWindow(const std::string& url) {
        WriteSettings("Port=" + url + "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\n" +
                      "StopBits=1\r\n");
        Create();
    }
};

TEST_F(TNetHostTest, RequestEditAndStoreOverTcpMatchTheGoldenShapes) {
    AddJob("1234", SampleText("R360_3.oma"));
    const std::string url = Listen({"--format", "1", "--points", "512"});
    StartWindow(url);
    ASSERT_EQ(Panel(0), "Ready");

    Request("1234");
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    ASSERT_EQ(Received().Radii, Golden("r360_3-512"));
    EXPECT_EQ(Received().DBL, 20.0);

    EditShape(19.25);
    Run(FForm->SaveButton);
    ASSERT_EQ(Panel(0), "Job stored");
    const TOmaJobFile job = TOmaJobFile::Parse(JobText("1234"));
    EXPECT_EQ(job.FirstTrace().Radii, Golden("r360_3-512-stored"));
    EXPECT_EQ(JobValue(job, "DBL"), "19.25");
    EXPECT_TRUE(FViewed.empty());
}

TEST_F(TNetHostTest, ARefusedConnectionIsShownAndTheNextRequestConnectsAgain) {
    AddJob("1234", SampleText("R360_3.oma"));
    const std::uint16_t port = FreeLoopbackPort();
    const std::string address = "127.0.0.1:" + std::to_string(port);
    StartWindow("socket://" + address);
    const std::string refused = "Cannot connect to " + address + ": Connection refused";
    EXPECT_EQ(Panel(0).toStdString(), refused);

    // A request while nobody listens says the same, and nothing is sent.
    FForm->TrayEdit->setText("1234");
    FForm->ReqButton->click();
    Settle();
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(Panel(0).toStdString(), refused);

    // The host comes up: the next request connects on its own.
    ASSERT_FALSE(Listen({"--format", "1", "--points", "512"}, port).empty());
    Request("1234");
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    EXPECT_EQ(Received().Radii, Golden("r360_3-512"));
}

TEST_F(TNetHostTest, AHostThatHangsUpMidReplyEndsTheConversationAtOnce) {
    AddJob("1234", SampleText("R360_3.oma"));
    const std::string url = Listen({"--format", "1", "--points", "512", "--hang-up", "job"});
    StartWindow(url);
    ASSERT_EQ(Panel(0), "Ready");
    FForm->TrayEdit->setText("1234");
    FForm->ReqButton->click();
    ASSERT_TRUE(FForm->Talking());
    // No timer tick is driven: only the closed connection can end it.
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }, 10s))
        << Panel(0).toStdString();
    EXPECT_EQ(Panel(0), "The host closed the connection");
    EXPECT_TRUE(Received().Radii.empty());
    ASSERT_FALSE(FViewed.empty());  // the log is shown, as for any failed conversation

    // The simulator takes the next connection with a new session; the next
    // request reaches it again (and it hangs up at the same point again).
    FViewed.clear();
    FForm->ReqButton->setEnabled(true);
    FForm->ReqButton->click();
    ASSERT_TRUE(FForm->Talking()) << Panel(0).toStdString();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }, 10s));
    EXPECT_EQ(Panel(0), "The host closed the connection");
    EXPECT_TRUE(HostLogged("connection from 127.0.0.1:"));
}

// The simulator damaging a packet it sends (the job's trace): the window asks
// for it again and draws the golden shape.
TEST_F(TNetHostTest, ADamagedPacketIsAskedForAgainAndTheGoldenShapeIsDrawn) {
    AddJob("1234", SampleText("R360_3.oma"));
    const std::string url = Listen({"--format", "1", "--points", "512", "--corrupt", "3"});
    StartWindow(url);
    Request("1234");
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    EXPECT_EQ(Received().Radii, Golden("r360_3-512"));
    EXPECT_TRUE(FViewed.empty());
    EXPECT_TRUE(HostLogged("NAK: packet sent again (1 of 2)"));
}

// Every packet and resend damaged: the checksum text, nothing drawn, nothing
// to save, the job as it was.
TEST_F(TNetHostTest, APacketAlwaysDamagedEndsTheConversationWithTheChecksumText) {
    AddJob("1234", SampleText("R360_3.oma"));
    const std::string job = JobText("1234");
    const std::string url = Listen({"--format", "1", "--points", "512", "--corrupt-always"});
    StartWindow(url);
    Request("1234");
    EXPECT_EQ(Panel(0).toStdString(), ChecksumMessage);
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    ASSERT_FALSE(FViewed.empty());  // the log is shown, as for any failed conversation
    EXPECT_EQ(JobText("1234"), job);
}

// Hosts that misbehave, played in-process on loopback.
class TNetHostileTest : public TNetHostTest {
protected:
    void StartAgainst(TLoopbackServer& server) {
        StartWindow("socket://127.0.0.1:" + std::to_string(server.Port()));
        ASSERT_EQ(Panel(0), "Ready");
        ASSERT_TRUE(server.Accept()) << "the window did not connect";
        FForm->TrayEdit->setText("1234");
        FForm->ReqButton->click();
        ASSERT_TRUE(FForm->Talking()) << Panel(0).toStdString();
        // The initialization request, up to its GS.
        std::string request;
        while (request.find('\x1d') == std::string::npos) {
            const std::string got = server.ReadBytes(1, 5s);
            ASSERT_FALSE(got.empty()) << "the request stopped after: " << request;
            request += got;
        }
        ASSERT_NE(request.find("REQ=INI"), std::string::npos) << request;
    }
    // The reply timer's fifteen seconds, one tick at a time.
    void LetTheReplyTimeRunOut() {
        for (int i = 0; i < 15 && FForm->Talking(); ++i) FForm->TimeoutTimerTimer();
        Settle();
    }
};

TEST_F(TNetHostileTest, AHostThatAcceptsAndNeverAnswersRunsIntoTheReplyTimeout) {
    TLoopbackServer server;
    ASSERT_NO_FATAL_FAILURE(StartAgainst(server));
    LetTheReplyTimeRunOut();
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    ASSERT_FALSE(FViewed.empty());  // the log is shown, as for any failed conversation
}

// The flood a misbehaving host sends without ending a packet: more than the
// window may hold, and far more than it could log byte by byte.
constexpr std::size_t FloodBytes = 50u << 20;

// Floods with an FS first (a reply that never ends) or without (bytes before
// any packet).
class TNetFloodTest : public TNetHostileTest, public ::testing::WithParamInterface<bool> {};

// The link holds a flooding host to a bounded buffer (its own tests) and the
// engine drops a reply past its limit (the engine's tests); here the window
// takes a whole flood as fast as loopback brings it, stays in its
// conversation, and its reply timer ends it while the flood goes on.
TEST_P(TNetFloodTest, AFloodWithoutAnEndLeavesTheWindowToItsReplyTimeout) {
    TLoopbackServer server;
    ASSERT_NO_FATAL_FAILURE(StartAgainst(server));
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> flooded{0};
    std::thread flood([&] {
        if (GetParam()) server.WriteBytes("\x06\x1c");
        server.Flood(stop, flooded);
    });
    struct TStop {
        std::atomic<bool>& Stop;
        std::thread& Flood;
        ~TStop() {
            Stop = true;
            Flood.join();
        }
    } stopAtTheEnd{stop, flood};
    // The window reads as the host sends: a window kept busy by the flood
    // would hold up the host's writes, and this wait would run out.
    const bool took = ProcessEventsUntil([&] { return flooded.load() >= FloodBytes; }, 20s);
    ASSERT_TRUE(took) << "the window took only " << flooded.load() << " of " << FloodBytes
                      << " bytes within 20 s; status: " << Panel(0).toStdString();
    Settle();
    EXPECT_TRUE(FForm->Talking()) << Panel(0).toStdString();
    LetTheReplyTimeRunOut();
    EXPECT_FALSE(FForm->Talking());
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    ASSERT_FALSE(FViewed.empty());
    // The log shown keeps the first stray bytes one by one and counts the rest.
    const std::string log = ReadFileBytes(FViewed.back());
    EXPECT_NE(log.find(" more bytes before FS dropped (only the first 4096 are logged one by one)"),
              std::string::npos);
    EXPECT_NE(log.find("------------ Timeout waiting for host ---------"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Floods, TNetFloodTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "AfterFS" : "BeforeFS");
});

}  // namespace
