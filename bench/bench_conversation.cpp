// The conversation engine on a job reply of about 1 MiB (a 512-point trace
// and many records), delivered in 1-byte and in 4 KiB chunks: the cost of
// gathering, framing and reading a reply, without a line.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "conversation/Conversation.h"
#include "oma/HostPackets.h"
#include "oma/OMAMach.h"
#include "tests/support/QuietSink.h"

namespace {

// Quiet, but a job must arrive and nothing may fail.
class TBenchSink : public TQuietSink {
public:
    bool Received = false;
    void JobReceived(TJobData&) override { Received = true; }
    void Failed(const std::string& message, TFailure) override { throw std::logic_error(message); }
};

std::string JobReply() {
    std::string body = "ANS=7\rSTATUS=0\rJOB=\"1234\"\r";
    for (int i = 0; body.size() < (1u << 20) - 8000; ++i)
        body += "TEXT_" + std::to_string(i) + "=" + std::string(40, static_cast<char>('a' + i % 26)) + "\r";
    body += "TRCFMT=1;512;E;R;F\r";
    std::string radii;
    for (int i = 0; i < 512; ++i) radii += "2500";
    body += TraceRecords("1", radii);
    return BuildPacket(body);
}

void JobReplyDelivered(benchmark::State& state) {
    const std::string reply = JobReply();
    const std::string init = BuildPacket("ANS=INI\rSTATUS=0\r");
    const std::string definition = BuildPacket("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=1;512;E;R;F\r");
    const auto chunk = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        TBenchSink sink;
        TConversation engine(sink);
        sink.Engine = &engine;
        engine.StartRequest({});
        engine.Received(init, 1);
        engine.Received(definition, 2);
        for (std::size_t at = 0; at < reply.size(); at += chunk)
            engine.Received(reply.substr(at, chunk), 3);
        if (!sink.Received) state.SkipWithError("no job");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(JobReplyDelivered)->Arg(1)->Arg(4096)->Unit(benchmark::kMillisecond);

// A whole request of a 512-point format 1 job in 64-byte deliveries, without
// and with its session transcript recorded: the recording's share of the
// conversation's CPU.
void RequestRecorded(benchmark::State& state) {
    std::string radii;
    for (int i = 0; i < 512; ++i) radii += std::to_string(2000 + i % 900);
    const std::string reply = BuildPacket("ANS=7\rSTATUS=0\rJOB=\"1234\"\rDBL=18.00\rHBOX=50.00;50.00\r"
                                          "TRCFMT=1;512;E;R;F\r" + TraceRecords("1", radii));
    const std::string init = BuildPacket("ANS=INI\rSTATUS=0\r");
    const std::string definition = BuildPacket("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=1;512;E;R;F\r");
    const bool recorded = state.range(0) != 0;
    std::uint32_t now = 0;
    for (auto _ : state) {
        TBenchSink sink;
        TConversation engine(sink);
        sink.Engine = &engine;
        TTranscriptHeader header;
        header.Kind = "request";
        TTranscriptRecorder recorder(header, [&] { return ++now; });
        if (recorded) engine.SetRecorder(&recorder);
        engine.StartRequest({});
        engine.Received(init, 1);
        engine.Received(definition, 2);
        for (std::size_t at = 0; at < reply.size(); at += 64) engine.Received(reply.substr(at, 64), 3);
        if (!sink.Received) state.SkipWithError("no job");
        benchmark::DoNotOptimize(recorder.Text().size());
    }
}
BENCHMARK(RequestRecorded)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Checking a reply's checksum against the engine's own cost for the same
// reply: the 1 MiB job reply above and a 512-point format 4 job reply, each
// delivered in 4 KiB chunks with verification off and on (Arg 1), and the
// check alone. The aim: the check costs under 1 % of the engine's work.
std::string Format4Reply() {
    std::string radii;
    for (int i = 0; i < 512; ++i) radii += std::to_string(2000 + (i * 37) % 900);
    return BuildPacket(
        "ANS=7\rSTATUS=0\rJOB=\"1234\"\rDBL=18.00\rHBOX=50.00;50.00\r"
        "TRCFMT=4;512;E;R;F\r" +
        TraceRecords("4", radii));
}

std::string BenchReply(std::int64_t which) {
    return which == 0 ? JobReply() : Format4Reply();
}

void ReplyThroughTheEngine(benchmark::State& state) {
    const std::string reply = BenchReply(state.range(0));
    const std::string init = BuildPacket("ANS=INI\rSTATUS=0\r");
    const std::string definition = BuildPacket("ANS=INI\rSTATUS=0\rDEF=7\rTRCFMT=4;512;E;R;F\r");
    TConversationSettings settings;
    settings.VerifyChecksums = state.range(1) != 0;
    for (auto _ : state) {
        TBenchSink sink;
        TConversation engine(sink);
        sink.Engine = &engine;
        engine.StartRequest(settings);
        engine.Received(init, 1);
        engine.Received(definition, 2);
        for (std::size_t at = 0; at < reply.size(); at += 4096)
            engine.Received(reply.substr(at, 4096), 3);
        if (!sink.Received) state.SkipWithError("no job");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(ReplyThroughTheEngine)
    ->ArgNames({"fmt4", "verify"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

void ChecksumOfTheReply(benchmark::State& state) {
    const std::string reply = BenchReply(state.range(0));
    for (auto _ : state) {
        const TPacketCheck check = CheckPacket(reply);
        if (check.Kind != TPacketCheck::ckGood) state.SkipWithError("not a good packet");
        benchmark::DoNotOptimize(check.Expected);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(ChecksumOfTheReply)->ArgName("fmt4")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
