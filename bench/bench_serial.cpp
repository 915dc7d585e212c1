// Serial port timings over a pseudo-terminal:
//  - latency from a byte written on the far end to OnRxChar running on the
//    owner's thread (smSynchronize, the program's setting);
//  - CPU time used by an open, idle port, and by one whose device was
//    unplugged (the far end closed: the device reports a hang-up forever).
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
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "serial/Comms.h"
#include "serialqt/QtComOwnerThread.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TPty {
    int Master = -1, Slave = -1;
    std::string Path;
    TPty() {
        char name[256] = {};
        if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        Path = name;
    }
    ~TPty() {
        ::close(Slave);
        ::close(Master);
    }
};

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "bench_serial";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void FarEndByteToOnRxChar(benchmark::State& state) {
    App();
    TPty pty;
    TComPortHooks hooks;
    hooks.OwnerThread = NewQtComOwnerThread();
    hooks.DevicePath = [&](const std::string&) { return pty.Path; };
    TComPort port(hooks);
    TClock::time_point arrived;
    bool got = false;
    port.OnRxChar = [&](TComPort* sender, int32_t inQue) {
        std::string text;
        sender->Read(text, inQue, true);
        arrived = TClock::now();
        got = true;
    };
    port.SetActive(true);
    std::vector<double> micros;
    for (auto _ : state) {
        got = false;
        const TClock::time_point sent = TClock::now();
        if (::write(pty.Master, "x", 1) != 1) state.SkipWithError("write failed");
        while (!got) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double us = std::chrono::duration<double, std::micro>(arrived - sent).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    port.SetActive(false);
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["median_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
}
BENCHMARK(FarEndByteToOnRxChar)
    ->UseManualTime()
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

void IdleOpenPortCpu(benchmark::State& state) {
    App();
    TPty pty;
    TComPortHooks hooks;
    hooks.OwnerThread = NewQtComOwnerThread();
    hooks.DevicePath = [&](const std::string&) { return pty.Path; };
    TComPort port(hooks);
    port.OnRxChar = [](TComPort*, int32_t) {};
    port.SetActive(true);
    for (auto _ : state) {
        const double before = CpuSeconds();
        // The owner's thread runs its event loop as the window thread would.
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["cpu_ms_per_10s"] = (CpuSeconds() - before) * 1000;
    }
    port.SetActive(false);
}
BENCHMARK(IdleOpenPortCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The event thread must stop watching a hung-up device rather than spin on it.
void UnpluggedPortCpu(benchmark::State& state) {
    App();
    auto pty = std::make_unique<TPty>();
    TComPortHooks hooks;
    hooks.OwnerThread = NewQtComOwnerThread();
    hooks.DevicePath = [path = pty->Path](const std::string&) { return path; };
    TComPort port(hooks);
    port.OnRxChar = [](TComPort*, int32_t) {};
    port.SetActive(true);
    pty.reset();  // unplugged
    for (auto _ : state) {
        const double before = CpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["cpu_ms_per_10s"] = (CpuSeconds() - before) * 1000;
    }
    port.SetActive(false);
}
BENCHMARK(UnpluggedPortCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
