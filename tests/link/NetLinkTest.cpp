// The network link against a server the test plays on loopback: bytes both
// ways, deliveries on the owner's thread, the operator's texts for a link
// that cannot be made or that the host ends, and a new connection after that.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "TestOwnerThread.h"
#include "tests/support/LoopbackServer.h"
#include "link/Link.h"
#include "link/NetSocket.h"

namespace {

using namespace std::string_literals;

struct TNetFixture : ::testing::Test {
    std::shared_ptr<TTestOwnerThread> Owner = std::make_shared<TTestOwnerThread>();
    std::vector<std::string> Reported;
    std::unique_ptr<TLink> Link;
    std::string Received;
    std::thread::id DeliveredOn;
    std::vector<std::string> Closed;

    void SetUp() override {
        TComPortHooks hooks;
        hooks.OwnerThread = Owner;
        hooks.ReportError = [this](const std::string& m) { Reported.push_back(m); };
        Link = NewNetLink(hooks);
        Link->OnReceive = [this](std::int32_t count) {
            DeliveredOn = std::this_thread::get_id();
            Received += Link->Read(count);
        };
        Link->OnClosed = [this](const std::string& why) { Closed.push_back(why); };
    }
    void TearDown() override { Link.reset(); }

    static TLinkSettings At(const std::string& port) {
        TLinkSettings settings;
        settings.Port = port;
        return settings;
    }
    std::string OpenError(const std::string& port) {
        try {
            Link->Open(At(port));
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(opened)";
    }
};

TEST_F(TNetFixture, CarriesBytesBothWaysAndDeliversOnTheOwnersThread) {
    TLoopbackServer server;
    Link->Open(At("socket://127.0.0.1:" + std::to_string(server.Port())));
    ASSERT_TRUE(server.Accept());
    EXPECT_TRUE(Link->IsOpen());

    // Every byte value goes through untouched, 0xFF included.
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(Link->Write(all), 256);
    EXPECT_EQ(server.ReadBytes(256), all);

    ASSERT_TRUE(server.WriteBytes(all + all));
    ASSERT_TRUE(Owner->RunUntil([&] { return Received.size() >= 512; })) << Received.size();
    EXPECT_EQ(Received, all + all);
    EXPECT_EQ(DeliveredOn, std::this_thread::get_id());
    EXPECT_TRUE(Reported.empty());
}

TEST_F(TNetFixture, ReachesAnIpv6LoopbackHost) {
    std::unique_ptr<TLoopbackServer> server;
    try {
        server = std::make_unique<TLoopbackServer>(true);
    } catch (const std::exception&) {
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    }
    Link->Open(At("socket://[::1]:" + std::to_string(server->Port())));
    ASSERT_TRUE(server->Accept());
    ASSERT_TRUE(server->WriteBytes("\x06"));
    ASSERT_TRUE(Owner->RunUntil([&] { return Received == "\x06"; })) << Received;
}

TEST_F(TNetFixture, ARefusedConnectionSaysSoAndLeavesTheLinkClosed) {
    std::uint16_t port = 0;
    {
        TLoopbackServer gone;  // a port that was free a moment ago: nobody listens now
        port = gone.Port();
    }
    EXPECT_EQ(OpenError("socket://127.0.0.1:" + std::to_string(port)),
              "Cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
    EXPECT_FALSE(Link->IsOpen());
    EXPECT_THROW(Link->Write("x"), std::exception);
    EXPECT_EQ(Link->Read(10), "");
}

TEST_F(TNetFixture, AMalformedUrlIsRefusedWithoutConnecting) {
    EXPECT_EQ(OpenError("socket://127.0.0.1"),
              "Not a network address: socket://127.0.0.1 (no port)");
    EXPECT_FALSE(Link->IsOpen());
}

TEST_F(TNetFixture, AHostThatNeverAcceptsRunsIntoTheConnectLimit) {
    // Backlog 0 with a queued connection nobody accepts: further handshakes go unanswered.
    TLoopbackServer server(false, 0);
    server.FillBacklog(4);
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    try {
        TNetSocket::Connect("127.0.0.1", server.Port(), "127.0.0.1:x", 600ms);
    } catch (const ENetLink& e) {
        error = e.what();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error, "Cannot connect to 127.0.0.1:x: No answer within 0 seconds");
    EXPECT_GE(took, 550ms);
    EXPECT_LT(took, 3s);
}

TEST_F(TNetFixture, TheHostClosingEndsWritesWithItsTextAndOpenConnectsAgain) {
    TLoopbackServer server;
    const std::string port = "socket://127.0.0.1:" + std::to_string(server.Port());
    Link->Open(At(port));
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.WriteBytes("partial reply"));
    server.CloseClient();

    ASSERT_TRUE(Owner->RunUntil([&] { return !Closed.empty(); }));
    EXPECT_EQ(Received, "partial reply");  // what came before the close is not lost
    EXPECT_EQ(Closed, std::vector<std::string>{"The host closed the connection"});
    EXPECT_FALSE(Link->IsOpen());
    try {
        Link->Write("\x06");
        ADD_FAILURE() << "a write after the host closed went through";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The host closed the connection");
    }

    Link->Open(At(port));
    ASSERT_TRUE(server.Accept());
    EXPECT_TRUE(Link->IsOpen());
    EXPECT_EQ(Link->Write("again"), 5);
    EXPECT_EQ(server.ReadBytes(5), "again");
}

TEST_F(TNetFixture, NothingIsDeliveredAfterClose) {
    TLoopbackServer server;
    Link->Open(At("socket://127.0.0.1:" + std::to_string(server.Port())));
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.WriteBytes("late"));
    ASSERT_TRUE(Owner->WaitPosted(1));
    Link->Close();
    Owner->RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(Received, "");
    EXPECT_FALSE(Link->IsOpen());
}

TEST_F(TNetFixture, AFloodingHostIsHeldToABoundedBufferAndCloseStillReturns) {
    TLoopbackServer server;
    Link->Open(At("socket://127.0.0.1:" + std::to_string(server.Port())));
    ASSERT_TRUE(server.Accept());
    // A handler that never reads lets the link's buffer fill: the reader must
    // stop taking bytes rather than grow without end, and Close must not hang.
    std::int32_t most = 0;
    Link->OnReceive = [&](std::int32_t count) { most = std::max(most, count); };
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> flooded{0};
    std::thread flood([&] { server.Flood(stop, flooded); });
    Owner->RunUntil([&] { return flooded > (16u << 20); }, 2s);
    Owner->RunUntil([] { return false; }, 200ms);
    EXPECT_GT(most, 0);
    EXPECT_LE(most, (4 << 20) + 65536);
    Link->Close();
    stop = true;
    flood.join();
}

// A device server speaking Telnet with COM port control, played byte for byte.
struct TTelnetServerFixture : TNetFixture {
    TLoopbackServer Server;
    std::vector<std::string> Notes;
    std::vector<std::string> Warnings;
    std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(Server.Port()); }

    // Opens the link at 38400 baud while Serve plays the server's side of the
    // start on its own thread (Open waits for the answer to its offer).
    void OpenWhile(const std::function<void()>& serve) {
        Link->OnLogLine = [this](const std::string& text) { Notes.push_back(text); };
        Link->OnWarning = [this](const std::string& text) { Warnings.push_back(text); };
        std::thread server([&] {
            if (!Server.Accept()) return;
            // WILL BINARY, DO BINARY, WILL SGA, DO SGA, WILL COM-PORT-OPTION.
            EXPECT_EQ(Server.ReadBytes(15), "\xff\xfb\x00\xff\xfd\x00\xff\xfb\x03\xff\xfd\x03"
                                            "\xff\xfb\x2c"s);
            serve();
        });
        TLinkSettings settings = At(Url());
        settings.BaudRate = 38400;
        try {
            Link->Open(settings);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        server.join();
    }
};

// SET-BAUDRATE 38400, SET-DATASIZE 8, SET-PARITY none, SET-STOPSIZE 1,
// SET-CONTROL no flow control, PURGE-DATA both, as RFC 2217 spells them.
const std::string LineAt38400 =
    "\xff\xfa\x2c\x01\x00\x00\x96\x00\xff\xf0"
    "\xff\xfa\x2c\x02\x08\xff\xf0"
    "\xff\xfa\x2c\x03\x01\xff\xf0"
    "\xff\xfa\x2c\x04\x01\xff\xf0"
    "\xff\xfa\x2c\x05\x01\xff\xf0"
    "\xff\xfa\x2c\x0c\x03\xff\xf0"s;

TEST_F(TTelnetServerFixture, OptionGarbageIsRefusedAndByte255IsCarriedBothWays) {
    OpenWhile([&] {
        // Options nobody asked for, a stray subnegotiation and a NOP, then
        // the server takes COM port control.
        Server.WriteBytes("\xff\xfb\x63\xff\xfd\x4d\xff\xfa\x63\x01\x02\xff\xf0\xff\xf1"
                          "\xff\xfd\x2c"s);
        // DONT 99, WONT 77, then the line settings.
        EXPECT_EQ(Server.ReadBytes(6 + LineAt38400.size()),
                  "\xff\xfe\x63\xff\xfc\x4d"s + LineAt38400);
    });
    ASSERT_TRUE(Link->IsOpen());
    ASSERT_TRUE(Owner->RunUntil([&] { return !Notes.empty(); }));
    EXPECT_EQ(Notes[0],
              "The device server takes COM port control: 38400 baud, 8 data bits, parity None, "
              "stop bits 1");

    EXPECT_EQ(Link->Write("a\xff" "b"), 3);
    EXPECT_EQ(Server.ReadBytes(4), "a\xff\xff" "b");
    // NOTIFY-LINESTATE and NOTIFY-MODEMSTATE between data bytes are taken quietly.
    ASSERT_TRUE(Server.WriteBytes("\x1c\xff\xff\xff\xfa\x2c\x6a\x60\xff\xf0\xff\xfa\x2c\x6b\x30"
                                  "\xff\xf0\x1d"s));
    ASSERT_TRUE(Owner->RunUntil([&] { return Received.size() >= 3; }));
    EXPECT_EQ(Received, "\x1c\xff\x1d"s);
    EXPECT_TRUE(Reported.empty());
}

TEST_F(TTelnetServerFixture, AServerRefusingPortControlIsNotedAndCarriesDataAsItIs) {
    OpenWhile([&] { Server.WriteBytes("\xff\xfe\x2c"s); });  // DONT COM-PORT-OPTION
    ASSERT_TRUE(Link->IsOpen());
    ASSERT_TRUE(Owner->RunUntil([&] { return !Notes.empty(); }));
    EXPECT_EQ(Notes[0],
              "The device server refuses COM port control: the line settings are not sent, and "
              "the line runs as the server has it");
    // A server that speaks Telnet is no cause for the operator to worry.
    EXPECT_TRUE(Warnings.empty());
    EXPECT_EQ(Link->Write("\x06"), 1);
    EXPECT_EQ(Server.ReadBytes(1), "\x06");  // no line settings before the data
}

TEST_F(TTelnetServerFixture, AServerThatNeverAnswersTheOfferDelaysOpenOnlyALittle) {
    const auto start = std::chrono::steady_clock::now();
    OpenWhile([] {});
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(Link->IsOpen());
    EXPECT_LT(took, 4s);
    ASSERT_TRUE(Owner->RunUntil([&] { return !Notes.empty(); }));
    EXPECT_EQ(Notes[0],
              "The device server did not answer the offer of COM port control within 2 seconds: "
              "the line settings are not sent");
    // Not a word of Telnet came back: the operator is told what it likely is.
    const std::string address = Url().substr(std::string("rfc2217://").size());
    ASSERT_EQ(Warnings.size(), 1u);
    EXPECT_EQ(Warnings[0], "The device server at " + address +
                               " does not answer as an rfc2217:// server: if it is a raw TCP port, "
                               "use socket://" +
                               address);
    EXPECT_EQ(Link->Write("\x06"), 1);
    EXPECT_EQ(Server.ReadBytes(1), "\x06");
}

}  // namespace
