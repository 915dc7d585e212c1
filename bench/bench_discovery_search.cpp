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

void WholeSearchNoHost(benchmark::State& state) {
    EnsureApplication();
    const int free = static_cast<int>(state.range(0));
    const TBenchPorts ports(free, {});

    QEventLoop loop;
    std::string outcome;
    THooks hooks = ports.Hooks();
    hooks.MessageBox = [&](QWidget*, const TMessageBoxInfo& box) {
        if (box.Icon == QMessageBox::Question) return QMessageBox::Yes;
        outcome = box.Text;
        loop.quit();
        return QMessageBox::Ok;
    };

    TNameValueList settings;
    SetDefaultSettings(settings);
    for (auto _ : state) {
        TSettingsForm dialog(settings, hooks);
        dialog.BitBtn3Click();
        loop.exec();
    }
    state.counters["ports"] = free;
    state.counters["expected_ms"] = 4.0 * free * 3000.0;
    if (outcome != "Did not find host") state.SkipWithError(outcome.c_str());
}
BENCHMARK(WholeSearchNoHost)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
