// Opening the settings dialog: the 99 COM probes, the USB serial devices and
// the controls, as each press of the Settings button does.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "serial/Comms.h"
#include "settings/Settings.h"

namespace {

QApplication& Application() {
    static int Argc = 1;
    static char Name[] = "bench_app_settings";
    static char* Argv[] = {Name, nullptr};
    static QApplication App(Argc, Argv);
    return App;
}

TNameValueList Settings() {
    TNameValueList List;
    SetDefaultSettings(List);
    List.SetValue("Port", "COM1");
    return List;
}

// This machine's own devices: COM1..COM99 are /dev/ttyS0..98.
void BM_OpenSettingsDialog(benchmark::State& State) {
    Application();
    TNameValueList List = Settings();
    for (auto _ : State) {
        TSettingsForm Dialog(List);
        benchmark::DoNotOptimize(Dialog.COMPortComboBox);
    }
}
BENCHMARK(BM_OpenSettingsDialog)->Unit(benchmark::kMillisecond);

// The probes alone.
void BM_ListUsablePorts(benchmark::State& State) {
    TComPort Port;
    std::size_t Found = 0;
    for (auto _ : State) Found = ListUsablePorts(Port).size();
    State.counters["ports"] = static_cast<double>(Found);
}
BENCHMARK(BM_ListUsablePorts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
