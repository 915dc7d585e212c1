// The host reply readers the window thread runs, each on the most costly
// replies of 256 KiB, 512 KiB and 1 MiB we know how to build for it: long
// lines, runs of blanks, many records of one name without a line end, a
// million line ends. Each must stay linear and under 100 ms at 1 MiB.
#include <benchmark/benchmark.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "oma/HostReplies.h"

namespace {

// prefix, then unit repeated (the last copy cut) and suffix: size bytes.
std::string Fill(std::size_t size, std::string_view unit, std::string_view prefix = {},
                 std::string_view suffix = {}) {
    std::string reply(prefix);
    const std::size_t body = size - prefix.size() - suffix.size();
    reply.reserve(size);
    while (reply.size() < prefix.size() + body) reply.append(unit);
    reply.resize(prefix.size() + body);
    reply.append(suffix);
    return reply;
}

using TReader = std::function<void(const std::string&)>;
using TBuilder = std::function<std::string(std::size_t)>;

// A reader refusing the reply is as good a result as reading it.
void Read(const TReader& reader, const std::string& reply) {
    try {
        reader(reply);
    } catch (const std::runtime_error&) {
    }
}

constexpr char JobHead[] = "\x1c" "ANS=7\rSTATUS=0\rTRCFMT=1;512;E;R;F\r";
constexpr char JobHead4[] = "\x1c" "ANS=7\rSTATUS=0\rTRCFMT=4;4096;E;R;F\r";

struct TCase {
    const char* Name;
    TReader Reader;
    TBuilder Build;
};

std::vector<TCase> Cases() {
    const TReader answer = [](const std::string& r) { benchmark::DoNotOptimize(IsHostAnswer(r)); };
    const TReader init = [](const std::string& r) { ReadInitAnswer(r); };
    const TReader definition = [](const std::string& r) {
        benchmark::DoNotOptimize(ReadHostDefinition(r));
    };
    const TReader storeInit = [](const std::string& r) { ReadStoreInitAnswer(r); };
    const TReader storeDefinition = [](const std::string& r) {
        benchmark::DoNotOptimize(ReadStoreDefinition(r));
    };
    // The format reply is the hostile one; the grant itself is fine.
    const TReader grant = [](const std::string& r) {
        benchmark::DoNotOptimize(ReadStoreGrant("STATUS=0\r", r));
    };
    const TReader verdict = [](const std::string& r) { ReadStoreVerdict(r); };
    const TReader job = [](const std::string& r) {
        benchmark::DoNotOptimize(ReadJobReply(r, "7", "512"));
    };
    return {
        {"IsHostAnswer/ans-equals-no-ini", answer, [](std::size_t n) { return Fill(n, "ANS  =  "); }},
        {"IsHostAnswer/ans-equals-almost-ini", answer,
         [](std::size_t n) { return Fill(n, "ANS = INxI"); }},
        {"IsHostAnswer/carriage-returns", answer, [](std::size_t n) { return Fill(n, "\r"); }},
        {"IsHostAnswer/ans-blanks", answer, [](std::size_t n) { return Fill(n, " ", "ANS"); }},

        {"ReadInitAnswer/zeros", init,
         [](std::size_t n) { return Fill(n, "0", "ANS=INI STATUS="); }},
        {"ReadInitAnswer/pieces-repeated", init,
         [](std::size_t n) { return Fill(n, "ANS=INI STATUS="); }},

        {"ReadHostDefinition/def-without-digits", definition,
         [](std::size_t n) { return Fill(n, "DEF= "); }},
        {"ReadHostDefinition/trcfmt-records", definition,
         [](std::size_t n) { return Fill(n, "TRCFMT=1;", "DEF=7\r"); }},
        {"ReadHostDefinition/trcfmt-digits-no-semicolon", definition,
         [](std::size_t n) { return Fill(n, "1", "DEF=7\rTRCFMT=1;"); }},
        {"ReadHostDefinition/trcfmt-then-text", definition,
         [](std::size_t n) { return Fill(n, "TRCFMT=1;a1a", "DEF=7\r"); }},

        {"ReadStoreInitAnswer/status-zero-digits", storeInit,
         [](std::size_t n) { return Fill(n, "STATUS = 01"); }},
        {"ReadStoreInitAnswer/status-zero-blanks", storeInit,
         [](std::size_t n) { return Fill(n, " ", "STATUS=0", "1"); }},

        {"ReadStoreDefinition/def-runs-no-line-end", storeDefinition,
         [](std::size_t n) { return Fill(n, "a ", "STATUS=0\r\rDEF="); }},
        {"ReadStoreDefinition/def-records", storeDefinition,
         [](std::size_t n) { return Fill(n, "\rDEF=", "STATUS=0\r"); }},

        {"ReadStoreGrant/trcfmt-blanks", grant,
         [](std::size_t n) { return Fill(n, " ", "TRCFMT=1;"); }},
        {"ReadStoreGrant/trcfmt-records", grant,
         [](std::size_t n) { return Fill(n, "TRCFMT = 1 ; 1 "); }},

        {"ReadStoreVerdict/status-records-no-line-end", verdict,
         [](std::size_t n) { return Fill(n, "STATUS=1 "); }},
        {"ReadStoreVerdict/status-records-line-end-last", verdict,
         [](std::size_t n) { return Fill(n, "STATUS=1 ", "", "\r"); }},
        {"ReadStoreVerdict/status-quoted-records", verdict,
         [](std::size_t n) { return Fill(n, "STATUS=1;\"x", "", "\n"); }},
        // A quote every 60 KiB keeps each record's search under the matcher's
        // bound, which a pattern would then take to the square of the reply.
        {"ReadStoreVerdict/status-records-quote-every-60k", verdict,
         [](std::size_t n) {
             std::string reply = Fill(n, "STATUS=1 ");
             for (std::size_t at = 60 * 1024; at < n; at += 60 * 1024) reply[at] = '"';
             return reply;
         }},
        {"ReadStoreVerdict/status-blanks", verdict,
         [](std::size_t n) { return Fill(n, " ", "STATUS=1;"); }},

        {"ReadJobReply/equals-line", job, [](std::size_t n) { return Fill(n, "=", JobHead); }},
        {"ReadJobReply/blanks-before-R", job,
         [](std::size_t n) { return Fill(n, " ", JobHead, "R=1234\r"); }},
        {"ReadJobReply/blank-equals-line", job,
         [](std::size_t n) { return Fill(n, " = ", JobHead); }},
        {"ReadJobReply/carriage-returns", job,
         [](std::size_t n) { return Fill(n, "\r", JobHead); }},
        {"ReadJobReply/label-with-equals-records", job,
         [](std::size_t n) { return Fill(n, "x R=y=z\r", JobHead); }},
        {"ReadJobReply/distinct-records", job,
         [](std::size_t n) {
             std::string reply = JobHead;
             for (int i = 0; reply.size() + 16 < n; ++i) {
                 reply += 'L';
                 reply += std::to_string(i);
                 reply += "=1\r";
             }
             return Fill(n, "\r", reply);
         }},
        {"ReadJobReply/same-record-removed", job,
         [](std::size_t n) { return Fill(n, "A=1\ra=\r", JobHead); }},
        {"ReadJobReply/r-records-one-line", job,
         [](std::size_t n) { return Fill(n, "R = ", JobHead); }},
        {"ReadJobReply/dbl-one-line", job, [](std::size_t n) { return Fill(n, "DBL=1.", JobHead); }},
        {"ReadJobReply/status-without-equals", job,
         [](std::size_t n) { return Fill(n, "\rSTATUS", "\x1c" "ANS=7"); }},
        {"ReadJobReply/format4-long-trace", job,
         [](std::size_t n) { return Fill(n, "\x1b\x7f", std::string(JobHead4) + "R="); }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    for (const TCase& c : Cases()) {
        benchmark::RegisterBenchmark(c.Name,
                                     [c](benchmark::State& state) {
                                         const std::string reply =
                                             c.Build(static_cast<std::size_t>(state.range(0)));
                                         for (auto _ : state) Read(c.Reader, reply);
                                         state.SetBytesProcessed(static_cast<std::int64_t>(
                                             state.iterations() * reply.size()));
                                     })
            ->Arg(256 << 10)
            ->Arg(512 << 10)
            ->Arg(1 << 20)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
