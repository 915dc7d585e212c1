// Host search, part two: a whole search over k free ports where no host
// answers, in real time, from Discover Host to "Did not find host". Each port
// is tried at four speeds for 3000 ms each, so expect about 4 x k x 3 s plus
// the probes and opens. Slow by nature: run it by hand, never in the test
// suite, for example
//     bench_discovery_search --benchmark_filter='/1$'
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/Comms.h"
#include "settings/FindPort.h"
#include "settings/Settings.h"

namespace {

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
    static char Name[] = "bench_discovery_search";
    static char* Argv[] = {Name, nullptr};
    static QApplication App(Argc, Argv);
}

void BM_WholeSearchNoHost(benchmark::State& State) {
    EnsureApplication();
    const int Free = static_cast<int>(State.range(0));
    std::vector<std::unique_ptr<TPty>> Ptys;
    auto Names = std::make_shared<std::map<std::string, std::string>>();
    for (int n = 1; n <= 99; ++n) {
        std::string Path = "/nonexistent/tty" + std::to_string(n);
        if (n <= Free) Path = Ptys.emplace_back(std::make_unique<TPty>())->Path;
        (*Names)["COM" + std::to_string(n)] = Path;
    }
    const TComPathMapper PreviousMapper =
        SetComPathMapper([Names](const std::string& Port) { return Names->at(Port); });
    const TUsbSerialLister PreviousLister =
        SetUsbSerialLister([] { return std::vector<std::string>{}; });

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
    SetUsbSerialLister(PreviousLister);
    SetComPathMapper(PreviousMapper);
}
BENCHMARK(BM_WholeSearchNoHost)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
