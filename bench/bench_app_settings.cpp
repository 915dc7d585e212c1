// Opening the settings dialog: the 99 COM probes, the USB serial devices and
// the controls, as each press of the Settings button does.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "serial/Comms.h"
#include "settings/Settings.h"

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "bench_app_settings";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TNameValueList Settings() {
    TNameValueList list;
    SetDefaultSettings(list);
    list.SetValue("Port", "COM1");
    return list;
}

// This machine's own devices: COM1..COM99 are /dev/ttyS0..98.
void OpenSettingsDialog(benchmark::State& state) {
    Application();
    TNameValueList list = Settings();
    for (auto _ : state) {
        TSettingsForm dialog(list);
        benchmark::DoNotOptimize(dialog.COMPortComboBox);
    }
}
BENCHMARK(OpenSettingsDialog)->Unit(benchmark::kMillisecond);

// The probes alone.
void ListUsablePorts(benchmark::State& state) {
    const THooks hooks;
    TComPort port(hooks.ComPortHooks());
    std::size_t found = 0;
    for (auto _ : state) found = ListUsablePorts(port, hooks).size();
    state.counters["ports"] = static_cast<double>(found);
}
BENCHMARK(ListUsablePorts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
