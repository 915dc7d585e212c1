// The cost of a translation at start-up, in process (the start-up script's
// wall times swing by more than the few per cent in question on a busy
// machine): loading the German translators, and making the main window in
// English and in German. The translations are those built beside
// startup_trevalon.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>

#include "app/ErrorReport.h"
#include "app/Language.h"
#include "app/Unit1.h"

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "bench_language";
    static char* argv[] = {name, nullptr};
    static TApplication app(argc, argv);
    return app;
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

void LoadGermanTranslation(benchmark::State& state) {
    Application();
    for (auto _ : state) {
        const TTranslation german(QStringLiteral("de"), ProgramFolder());
        if (!german.Loaded()) state.SkipWithError("no trevalon_de.qm beside the benchmark");
        benchmark::DoNotOptimize(&german);
    }
}
BENCHMARK(LoadGermanTranslation)->Unit(benchmark::kMicrosecond);

// The main window made (not shown) in English (0) or German (1): the
// translators' lookups for every caption, and the longer texts' layout.
void MakeMainWindow(benchmark::State& state) {
    Application();
    const TTranslation translation(state.range(0) == 0 ? QStringLiteral("en") : QStringLiteral("de"),
                                   ProgramFolder());
    // Beside the benchmark there is no settings file: the port stays closed.
    THooks hooks;
    hooks.ProgramFile = (QDir(ProgramFolder()).filePath(QStringLiteral("bench_language_window")))
                            .toStdString();
    for (auto _ : state) {
        TForm1 form(hooks);
        benchmark::DoNotOptimize(form.Label1);
    }
}
BENCHMARK(MakeMainWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
