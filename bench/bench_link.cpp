// The network link: how long a connect to a loopback host takes, and what an
// open, idle connection costs in CPU (the reader sleeps in poll: nothing).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "link/Link.h"
#include "link/NetSocket.h"
#include "serial/ComHandOff.h"
#include "tests/support/LoopbackPort.h"

namespace {

struct TListener {
    // Port before Fd: Fd's initialiser sets it.
    std::uint16_t Port = 0;
    int Fd = BoundLoopbackSocket(Port);
    TListener() { listen(Fd, 128); }
    ~TListener() { ::close(Fd); }
    int Accept() const { return ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC); }
};

class TDropOwner : public TComOwnerThread {
public:
    void Post(std::function<void()>) override {}
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void ConnectLoopback(benchmark::State& state) {
    TListener listener;
    for (auto _ : state) {
        auto socket = TNetSocket::Connect("127.0.0.1", listener.Port, "bench",
                                          std::chrono::seconds(5));
        const int accepted = listener.Accept();
        benchmark::DoNotOptimize(socket);
        socket.reset();
        ::close(accepted);
    }
}
BENCHMARK(ConnectLoopback)->Unit(benchmark::kMicrosecond);

// CPU time the whole process spends per second of wall time with one open
// link and nothing on the line.
void IdleOpenConnection(benchmark::State& state) {
    TListener listener;
    TComPortHooks hooks;
    hooks.OwnerThread = std::make_shared<TDropOwner>();
    auto link = NewNetLink(hooks);
    TLinkSettings settings;
    settings.Port = "socket://127.0.0.1:" + std::to_string(listener.Port);
    link->Open(settings);
    const int accepted = listener.Accept();
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpu = CpuSeconds() - before;
    }
    state.counters["cpu_ms_per_s"] = cpu * 1000;
    link->Close();
    ::close(accepted);
}
BENCHMARK(IdleOpenConnection)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
