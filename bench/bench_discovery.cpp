// Host search, part one: building the candidate list, that is the probes of
// COM1..COM99 and the USB serial devices with four speeds for each port that
// opens. The whole search in real time is bench_discovery_search.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/Comms.h"
#include "settings/FindPort.h"

namespace {

// A pseudo-terminal pair standing for a free serial device.
struct TPty {
    int Master = -1;
    int Slave = -1;
    std::string Path;
    TPty() {
        char Name[256] = {};
        if (::openpty(&Master, &Slave, Name, nullptr, nullptr) == 0) Path = Name;
    }
    ~TPty() {
        if (Slave >= 0) ::close(Slave);
        if (Master >= 0) ::close(Master);
    }
};

void EnsureApplication() {
    static int Argc = 1;
    static char Name[] = "bench_discovery";
    static char* Argv[] = {Name, nullptr};
    static QApplication App(Argc, Argv);
}

// COM1..COM99 with the first range(0) of them free (pseudo-terminals), the
// others missing, and two USB serial devices, both free.
void BM_BuildCandidates(benchmark::State& State) {
    EnsureApplication();
    const int Free = static_cast<int>(State.range(0));
    std::vector<std::unique_ptr<TPty>> Ptys;
    auto Names = std::make_shared<std::map<std::string, std::string>>();
    for (int n = 1; n <= 99; ++n) {
        std::string Path = "/nonexistent/tty" + std::to_string(n);
        if (n <= Free) Path = Ptys.emplace_back(std::make_unique<TPty>())->Path;
        (*Names)["COM" + std::to_string(n)] = Path;
    }
    (*Names)["ttyUSB0"] = Ptys.emplace_back(std::make_unique<TPty>())->Path;
    (*Names)["ttyACM0"] = Ptys.emplace_back(std::make_unique<TPty>())->Path;
    const TComPathMapper PreviousMapper =
        SetComPathMapper([Names](const std::string& Port) { return Names->at(Port); });
    const TUsbSerialLister PreviousLister = SetUsbSerialLister([] {
        return std::vector<std::string>{"ttyACM0", "ttyUSB0"};
    });

    TComPort Port;
    std::size_t Count = 0;
    for (auto _ : State) Count = BuildCandidates(Port).size();
    State.counters["candidates"] = static_cast<double>(Count);

    SetUsbSerialLister(PreviousLister);
    SetComPathMapper(PreviousMapper);
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
