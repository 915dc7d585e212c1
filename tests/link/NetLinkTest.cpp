// The network link against a server the test plays on loopback: bytes both
// ways, deliveries on the owner's thread, the operator's texts for a link
// that cannot be made or that the host ends, and a new connection after that.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

#include "LoopbackServer.h"
#include "TestOwnerThread.h"
#include "link/Link.h"
#include "link/NetSocket.h"

namespace {

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
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(server.Port());
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(50ms);  // let the fillers' handshakes settle in the queue
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    try {
        TNetSocket::Connect("127.0.0.1", server.Port(), "127.0.0.1:x", 600ms);
    } catch (const ENetLink& e) {
        error = e.what();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    for (int fd : fillers) ::close(fd);
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
    std::thread flood([&] {
        const std::string block(65536, 'F');
        while (!stop) {
            pollfd pfd{server.Client(), POLLOUT, 0};
            if (poll(&pfd, 1, 20) <= 0) continue;
            const ssize_t n = ::send(server.Client(), block.data(), block.size(),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) flooded += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) break;
        }
    });
    Owner->RunUntil([&] { return flooded > (16u << 20); }, 2s);
    Owner->RunUntil([] { return false; }, 200ms);
    EXPECT_GT(most, 0);
    EXPECT_LE(most, (4 << 20) + 65536);
    Link->Close();
    stop = true;
    flood.join();
}

}  // namespace
