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

void EncodeFmt1(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeTraceFmt1(Radii));
}

void DecodeFmt1Digits(benchmark::State& state) {
    const std::string records = EncodeTraceFmt1(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(KeepDigits(records));
}

template <std::string (*Encoder)(std::string_view)>
void Encode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Encoder(Radii));
}

void DecodeFmt2(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt2(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt2(wire));
}

void DecodeFmt3(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt3(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt3(wire));
}

void DecodeFmt4(benchmark::State& state) {
    const std::string wire = EncodeTraceFmt4(Radii);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeTraceFmt4(wire, 512));
}

// The upload of a 512-point format 1 trace with the usual job records.
std::string JobBody() {
    return "ANS=TRC\rJOB=\"1234\"\rSTATUS=0\rTRCFMT=1;512;E;R;F\r" + EncodeTraceFmt1(Radii) +
           "HBOX=50.00;50.00\rVBOX=40.00;40.00\rCIRC=150.00;150.00\rDBL=18.00\r";
}

void OmaCRC16Job(benchmark::State& state) {
    const std::string body = JobBody();
    for (auto _ : state) benchmark::DoNotOptimize(OmaCRC16(body));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BuildPacketJob(benchmark::State& state) {
    const std::string body = JobBody();
    for (auto _ : state) benchmark::DoNotOptimize(BuildPacket(body));
}

void RenderControlCharsJob(benchmark::State& state) {
    const std::string packet = BuildPacket(JobBody());
    for (auto _ : state) benchmark::DoNotOptimize(RenderControlChars(packet));
}

}  // namespace

BENCHMARK(EncodeFmt1);
BENCHMARK(DecodeFmt1Digits);
BENCHMARK(Encode<EncodeTraceFmt2>)->Name("EncodeFmt2");
BENCHMARK(DecodeFmt2);
BENCHMARK(Encode<EncodeTraceFmt3>)->Name("EncodeFmt3");
BENCHMARK(DecodeFmt3);
BENCHMARK(Encode<EncodeTraceFmt4>)->Name("EncodeFmt4");
BENCHMARK(DecodeFmt4);
BENCHMARK(OmaCRC16Job);
BENCHMARK(BuildPacketJob);
BENCHMARK(RenderControlCharsJob);

BENCHMARK_MAIN();
