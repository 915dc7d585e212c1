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
void BuildCandidates(benchmark::State& state) {
    EnsureApplication();
    const TBenchPorts ports(static_cast<int>(state.range(0)), {"ttyACM0", "ttyUSB0"});

    TComPort port(ports.Hooks().ComPortHooks());
    std::size_t count = 0;
    for (auto _ : state) count = BuildCandidates(port, ports.Hooks()).size();
    state.counters["candidates"] = static_cast<double>(count);
}
BENCHMARK(BuildCandidates)->Arg(0)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond);

// This machine's own devices: COM1..COM99 are /dev/ttyS0..98, and the USB
// serial devices that are present.
void BuildCandidatesThisMachine(benchmark::State& state) {
    EnsureApplication();
    const THooks hooks;
    TComPort port(hooks.ComPortHooks());
    std::size_t count = 0;
    for (auto _ : state) count = BuildCandidates(port, hooks).size();
    state.counters["candidates"] = static_cast<double>(count);
}
BENCHMARK(BuildCandidatesThisMachine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
