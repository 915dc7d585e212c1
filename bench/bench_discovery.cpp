// Host search, part one: building the candidate list, that is the probes of
// COM1..COM99 and the USB serial devices with four speeds for each port that
// opens. The whole search in real time is bench_discovery_search.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_discovery_ports.h"
#include "serial/Comms.h"
#include "settings/FindPort.h"

namespace {

// COM1..COM99 with the first range(0) of them free (pseudo-terminals), the
// others missing, and two USB serial devices, both free.
void BM_BuildCandidates(benchmark::State& State) {
    EnsureApplication();
    const TBenchPorts Ports(static_cast<int>(State.range(0)), {"ttyACM0", "ttyUSB0"});

    TComPort Port;
    std::size_t Count = 0;
    for (auto _ : State) Count = BuildCandidates(Port).size();
    State.counters["candidates"] = static_cast<double>(Count);
}
BENCHMARK(BM_BuildCandidates)->Arg(0)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond);

// This machine's own devices: COM1..COM99 are /dev/ttyS0..98, and the USB
// serial devices that are present.
void BM_BuildCandidatesThisMachine(benchmark::State& State) {
    EnsureApplication();
    TComPort Port;
    std::size_t Count = 0;
    for (auto _ : State) Count = BuildCandidates(Port).size();
    State.counters["candidates"] = static_cast<double>(Count);
}
BENCHMARK(BM_BuildCandidatesThisMachine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
