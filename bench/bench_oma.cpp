#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"

namespace {

// A frame-like outline of 512 points: an ellipse with a little ripple, the
// kind of trace a host sends.
std::string Shape512() {
    std::string radii;
    char group[8];
    for (int i = 0; i < 512; ++i) {
        const double t = i * 2 * M_PI / 512;
        const double r =
            2500 / std::sqrt(std::pow(std::cos(t), 2) + std::pow(1.25 * std::sin(t), 2)) +
            12 * std::sin(7 * t);
        std::snprintf(group, sizeof group, "%.4d", static_cast<int>(r));
        radii += group;
    }
    return radii;
}

const std::string Radii = Shape512();

void BM_EncodeFmt1(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeTraceFmt1(Radii));
}

void BM_DecodeFmt1Digits(benchmark::State& state) {
    const std::string records = EncodeTraceFmt1(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(KeepDigits(records));
}

template <std::string (*Encode)(std::string_view)>
void BM_Encode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Encode(Radii));
}

void BM_DecodeFmt2(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt2(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt2(wire));
}

void BM_DecodeFmt3(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt3(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt3(wire));
}

void BM_DecodeFmt4(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt4(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt4(wire, 512));
}

// The upload of a 512-point format 1 trace with the usual job records.
std::string JobBody() {
    return "ANS=TRC\rJOB=\"1234\"\rSTATUS=0\rTRCFMT=1;512;E;R;F\r" + EncodeTraceFmt1(Radii) +
           "HBOX=50.00;50.00\rVBOX=40.00;40.00\rCIRC=150.00;150.00\rDBL=18.00\r";
}

void BM_OmaCRC16Job(benchmark::State& state) {
    const std::string body = JobBody();
    for (auto _ : state) benchmark::DoNotOptimize(OmaCRC16(body));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BM_BuildPacketJob(benchmark::State& state) {
    const std::string body = JobBody();
    for (auto _ : state) benchmark::DoNotOptimize(BuildPacket(body));
}

void BM_RenderControlCharsJob(benchmark::State& state) {
    const std::string packet = BuildPacket(JobBody());
    for (auto _ : state) benchmark::DoNotOptimize(RenderControlChars(packet));
}

}  // namespace

BENCHMARK(BM_EncodeFmt1);
BENCHMARK(BM_DecodeFmt1Digits);
BENCHMARK(BM_Encode<EncodeTraceFmt2>)->Name("BM_EncodeFmt2");
BENCHMARK(BM_DecodeFmt2);
BENCHMARK(BM_Encode<EncodeTraceFmt3>)->Name("BM_EncodeFmt3");
BENCHMARK(BM_DecodeFmt3);
BENCHMARK(BM_Encode<EncodeTraceFmt4>)->Name("BM_EncodeFmt4");
BENCHMARK(BM_DecodeFmt4);
BENCHMARK(BM_OmaCRC16Job);
BENCHMARK(BM_BuildPacketJob);
BENCHMARK(BM_RenderControlCharsJob);

BENCHMARK_MAIN();
