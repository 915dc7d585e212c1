#include <string>

#include "conversation/Conversation.h"
#include "fuzz/FuzzTarget.h"
#include "oma/OMAMach.h"
#include "tests/support/QuietSink.h"

// Whole conversations from a script of deliveries, ticks, cancels and starts.
// The head (before a NUL) chooses the conversation: "store" or "noinit" for a
// store, anything else a request; a head that ends in "unchecked" turns the
// checksum verification off. Each byte of the body is an operation:
// below 200 it delivers the next (byte % 64) + 1 bytes as one chunk; 200-219
// is a tick of the reply timer; 220-229 is Escape; 230 and above starts the
// conversation again. The engine must never throw, its buffer stays bounded,
// every ending leaves it idle with an empty buffer, a packet is asked for
// again at most twice, and a job is never taken from a damaged packet.
namespace {

class TFuzzSink : public TQuietSink {
public:
    bool Ended = false;
    bool Verify = true;
    int NaksInARow = 0;

    std::int32_t Write(const std::string& bytes) override {
        NaksInARow = bytes == std::string(1, NAK) ? NaksInARow + 1 : 0;
        FUZZ_CHECK(NaksInARow <= (Verify ? MaxResends : 0));
        return TQuietSink::Write(bytes);
    }
    void ShowCountdown(std::int32_t seconds) override { FUZZ_CHECK(seconds >= 0 && seconds < 10); }
    void Pause(unsigned milliseconds) override { FUZZ_CHECK(milliseconds == PauseAfterInitMs); }
    TStoreSource StoreSource() override {
        TStoreSource source;
        for (int i = 0; i < 360; ++i) source.Working.Radii += "2500";
        source.Records.Add("FOO=1");
        return source;
    }
    double StoreDBL() override { return 18; }
    void ReplyNotUnderstood(const std::string& reply) override { FUZZ_CHECK(!reply.empty()); }
    void JobReceived(TJobData& job) override {
        FUZZ_CHECK(Engine->State() == cvIdle);
        FUZZ_CHECK(job.Radii.size() % 4 == 0);
        FUZZ_CHECK(!Verify || CheckPacket(Engine->Buffer()).Kind != TPacketCheck::ckBad);
        Ended = true;
    }
    void JobStored() override {
        FUZZ_CHECK(Engine->State() == cvIdle);
        Ended = true;
    }
    void Failed(const std::string& message, TFailure) override {
        FUZZ_CHECK(!Engine->Talking());
        FUZZ_CHECK(Engine->Buffer().empty());
        FUZZ_CHECK(!message.empty());
        Ended = true;
    }
    void TimedOut() override {
        Engine->Abandon();
        Ended = true;
    }
};

}  // namespace

void FuzzConversation(std::string_view data) {
    const TFuzzInput input = SplitAtNul(data);
    std::string_view head = input.Head;
    const bool verify = !head.ends_with("unchecked");
    if (!verify) head.remove_suffix(std::string_view("unchecked").size());
    if (head.ends_with("-")) head.remove_suffix(1);
    const bool store = head == "store" || head == "noinit";
    const TConversationSettings settings{head == "noinit", true, verify};
    TFuzzSink sink;
    sink.Verify = verify;
    TConversation engine(sink);
    sink.Engine = &engine;
    auto start = [&] {
        if (store)
            engine.StartStore(settings);
        else
            engine.StartRequest(settings);
    };
    start();
    std::uint32_t now = 0;
    std::string_view body = input.Body;
    while (!body.empty()) {
        const auto op = static_cast<unsigned char>(body.front());
        body.remove_prefix(1);
        sink.Ended = false;
        if (op < 200) {
            const std::size_t size = std::min<std::size_t>(op % 64 + 1, body.size());
            engine.Received(std::string(body.substr(0, size)), now += 7);
            body.remove_prefix(size);
        } else if (op < 220) {
            engine.Tick();
            now += 1000;
        } else if (op < 230) {
            if (engine.Cancel()) engine.Abandon();
        } else {
            start();
        }
        FUZZ_CHECK(engine.Buffer().size() <= MaxRxBuffer + 64);
        if (sink.Ended) {
            FUZZ_CHECK(!engine.Talking());
            FUZZ_CHECK(engine.Buffer().empty());
        }
    }
}

TREVALON_FUZZ_ENTRY(FuzzConversation)
