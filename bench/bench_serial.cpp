// Serial port timings over a pseudo-terminal:
//  - latency from a byte written on the far end to OnRxChar running on the
//    owner's thread (smSynchronize, the program's setting);
//  - CPU time used by an open, idle port.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "serial/Comms.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TPty {
    int Master = -1, Slave = -1;
    std::string Path;
    TPty() {
        char Name[256] = {};
        if (::openpty(&Master, &Slave, Name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        Path = Name;
    }
    ~TPty() {
        ::close(Slave);
        ::close(Master);
    }
};

QCoreApplication& App() {
    static int Argc = 1;
    static char Name[] = "bench_serial";
    static char* Argv[] = {Name, nullptr};
    static QCoreApplication Instance(Argc, Argv);
    return Instance;
}

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

void BM_FarEndByteToOnRxChar(benchmark::State& State) {
    App();
    TPty Pty;
    SetComPathMapper([&](const std::string&) { return Pty.Path; });
    TComPort Port;
    TClock::time_point Arrived;
    bool Got = false;
    Port.OnRxChar = [&](TComPort* Sender, int32_t InQue) {
        std::string Text;
        Sender->Read(Text, InQue, true);
        Arrived = TClock::now();
        Got = true;
    };
    Port.SetActive(true);
    std::vector<double> Micros;
    for (auto _ : State) {
        Got = false;
        const TClock::time_point Sent = TClock::now();
        if (::write(Pty.Master, "x", 1) != 1) State.SkipWithError("write failed");
        while (!Got) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double Us = std::chrono::duration<double, std::micro>(Arrived - Sent).count();
        Micros.push_back(Us);
        State.SetIterationTime(Us / 1e6);
    }
    Port.SetActive(false);
    SetComPathMapper({});
    std::sort(Micros.begin(), Micros.end());
    if (!Micros.empty()) {
        State.counters["median_us"] = Micros[Micros.size() / 2];
        State.counters["p99_us"] = Micros[std::min(Micros.size() - 1, Micros.size() * 99 / 100)];
    }
}
BENCHMARK(BM_FarEndByteToOnRxChar)
    ->UseManualTime()
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

void BM_IdleOpenPortCpu(benchmark::State& State) {
    App();
    TPty Pty;
    SetComPathMapper([&](const std::string&) { return Pty.Path; });
    TComPort Port;
    Port.OnRxChar = [](TComPort*, int32_t) {};
    Port.SetActive(true);
    for (auto _ : State) {
        const double Before = CpuSeconds();
        // The owner's thread runs its event loop as the window thread would.
        QEventLoop Loop;
        QTimer::singleShot(10000, &Loop, &QEventLoop::quit);
        Loop.exec();
        State.counters["cpu_ms_per_10s"] = (CpuSeconds() - Before) * 1000;
    }
    Port.SetActive(false);
    SetComPathMapper({});
}
BENCHMARK(BM_IdleOpenPortCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
