// Host search, part two: a whole search over k free ports where no host
// answers, in real time, from Discover Host to "Did not find host". Each port
// is tried at four speeds for 3000 ms each, so expect about 4 x k x 3 s plus
// the probes and opens. Slow by nature: run it by hand, never in the test
// suite, for example
//     bench_discovery_search --benchmark_filter='NoHost/1/'
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <string>

#include "bench/bench_discovery_ports.h"
#include "serial/Comms.h"
#include "settings/FindPort.h"
#include "settings/Settings.h"

namespace {

void BM_WholeSearchNoHost(benchmark::State& State) {
    EnsureApplication();
    const int Free = static_cast<int>(State.range(0));
    const TBenchPorts Ports(Free, {});

    QEventLoop Loop;
    std::string Outcome;
    const TMessageBoxHook PreviousHook =
        SetMessageBoxHook([&](QWidget*, const TMessageBoxInfo& Box) {
            if (Box.Icon == QMessageBox::Question) return QMessageBox::Yes;
            Outcome = Box.Text;
            Loop.quit();
            return QMessageBox::Ok;
        });

    TNameValueList Settings;
    SetDefaultSettings(Settings);
    for (auto _ : State) {
        TSettingsForm Dialog(Settings);
        Dialog.BitBtn3Click();
        Loop.exec();
    }
    State.counters["ports"] = Free;
    State.counters["expected_ms"] = 4.0 * Free * 3000.0;
    if (Outcome != "Did not find host") State.SkipWithError(Outcome.c_str());

    SetMessageBoxHook(PreviousHook);
}
BENCHMARK(BM_WholeSearchNoHost)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
