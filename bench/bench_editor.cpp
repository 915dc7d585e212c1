// One complete edit change of the main window, as a keystroke in a value
// edit causes it: resample, reshape, measure, show the values and redraw the
// picture, at 1024 points. Each repetition is one keystroke; the median and
// the maximum over the repetitions are what an operator feels while typing.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QCheckBox>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "app/ErrorReport.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"

namespace {

std::unique_ptr<QTemporaryDir> Dir;
std::unique_ptr<TForm1> Form;

TForm1& Window() {
    if (!Form) {
        Dir = std::make_unique<QTemporaryDir>();
        TFormHooks Hooks;
        Hooks.ProgramFile = Dir->filePath(QStringLiteral("trevalon")).toStdString();
        Hooks.OpenViewer = [](const QString&) { return true; };
        Hooks.TempPath = Dir->path();
        Form = std::make_unique<TForm1>(std::move(Hooks));
        Form->FlowerPot1->trigger();
    }
    return *Form;
}

double Max(const std::vector<double>& V) {
    return *std::max_element(V.begin(), V.end());
}

// Alternates the edit between two values so that every step is a real change.
void Keystrokes(benchmark::State& State, TValueEdit* TForm1::*Edit, const char* A, const char* B,
                bool LockB) {
    TForm1& F = Window();
    F.LockBCheckbox->setChecked(LockB);
    F.LockBCheckboxClick();
    // Repetitions run this function afresh; the count carries the alternation on.
    static unsigned Stroke = 0;
    for (auto _ : State) (F.*Edit)->SetText(QString::fromLatin1(++Stroke % 2 != 0 ? A : B));
}

void BM_EditBoxB_LockB(benchmark::State& State) {
    Keystrokes(State, &TForm1::BoxBEdit, "52.00", "52.10", true);
}
void BM_EditBoxA(benchmark::State& State) {
    Keystrokes(State, &TForm1::BoxAEdit, "55.00", "55.10", false);
}
void BM_EditCirc(benchmark::State& State) {
    Keystrokes(State, &TForm1::CircEdit, "200.00", "200.10", false);
}
void BM_EditDBL(benchmark::State& State) {
    Keystrokes(State, &TForm1::DBLEdit, "16.00", "16.10", false);
}
void BM_RedrawOnly(benchmark::State& State) {
    TForm1& F = Window();
    for (auto _ : State) F.DrawShape();
}

#define KEYSTROKE_BENCHMARK(Name)       \
    BENCHMARK(Name)                     \
        ->Iterations(1)                 \
        ->Repetitions(400)              \
        ->ReportAggregatesOnly(true)    \
        ->Unit(benchmark::kMicrosecond) \
        ->ComputeStatistics("max", Max)

KEYSTROKE_BENCHMARK(BM_EditBoxB_LockB);
KEYSTROKE_BENCHMARK(BM_EditBoxA);
KEYSTROKE_BENCHMARK(BM_EditCirc);
KEYSTROKE_BENCHMARK(BM_EditDBL);
BENCHMARK(BM_RedrawOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Form.reset();
    Dir.reset();
    return 0;
}
