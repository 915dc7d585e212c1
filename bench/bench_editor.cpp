// One complete edit change of the main window, as a keystroke in a value
// edit causes it: resample, reshape, measure, show the values and redraw the
// picture, at 1024 points. Each repetition is one keystroke; the median and
// the maximum over the repetitions are what an operator feels while typing.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QCheckBox>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/ErrorReport.h"
#include "app/ShapeDisplay.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"

namespace {

std::unique_ptr<QTemporaryDir> Dir;
std::unique_ptr<TForm1> Form;

TForm1& Window() {
    if (!Form) {
        Dir = std::make_unique<QTemporaryDir>();
        THooks hooks;
        hooks.ProgramFile = Dir->filePath(QStringLiteral("trevalon")).toStdString();
        hooks.OpenViewer = [](const QString&) { return true; };
        hooks.TempPath = Dir->path();
        hooks.TranscriptPath = Dir->filePath(QStringLiteral("transcripts"));
        Form = std::make_unique<TForm1>(std::move(hooks));
        Form->FlowerPot1->trigger();
    }
    return *Form;
}

double Max(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}

// Alternates the edit between two values so that every step is a real change.
void Keystrokes(benchmark::State& state, TValueEdit* TForm1::*edit, const char* a, const char* b,
                bool lockB) {
    TForm1& f = Window();
    f.LockBCheckbox->setChecked(lockB);
    f.LockBCheckboxClick();
    // Repetitions run this function afresh; the count carries the alternation on.
    static unsigned stroke = 0;
    for (auto _ : state) (f.*edit)->SetText(QString::fromLatin1(++stroke % 2 != 0 ? a : b));
}

void EditBoxBLockB(benchmark::State& state) {
    Keystrokes(state, &TForm1::BoxBEdit, "52.00", "52.10", true);
}
void EditBoxA(benchmark::State& state) {
    Keystrokes(state, &TForm1::BoxAEdit, "55.00", "55.10", false);
}
void EditCirc(benchmark::State& state) {
    Keystrokes(state, &TForm1::CircEdit, "200.00", "200.10", false);
}
void EditDBL(benchmark::State& state) {
    Keystrokes(state, &TForm1::DBLEdit, "16.00", "16.10", false);
}
void RedrawOnly(benchmark::State& state) {
    TForm1& f = Window();
    for (auto _ : state) f.DrawShape();
}

// Drawing the picture alone (the flower pot at 1024 points, received outline
// and grid shown) at device pixel ratio 1, 1.5 and 2 (argument: ratio x 10),
// as on displays scaled to 100 %, 150 % and 200 %.
void DrawPictureAtRatio(benchmark::State& state) {
    TForm1& f = Window();
    TShapePicture picture;
    picture.WorkingRadii = f.WorkingShape().Radii;
    picture.ReceivedRadii = f.ReceivedShape().Radii;
    picture.HBox = f.WorkingShape().HBox;
    picture.VBox = f.WorkingShape().VBox;
    picture.Circ = f.WorkingShape().Circ;
    picture.DetailedGrid = true;
    picture.ShowOrig = true;
    const qreal ratio = static_cast<qreal>(state.range(0)) / 10;
    for (auto _ : state) {
        QImage image = RenderShape(picture, ShapePictureSize, ratio);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(QStringLiteral("%1 x %2 pixels")
                       .arg(std::ceil(ShapePictureSize.width() * ratio))
                       .arg(std::ceil(ShapePictureSize.height() * ratio))
                       .toStdString());
}

#define KEYSTROKE_BENCHMARK(Name)       \
    BENCHMARK(Name)                     \
        ->Iterations(1)                 \
        ->Repetitions(400)              \
        ->ReportAggregatesOnly(true)    \
        ->Unit(benchmark::kMicrosecond) \
        ->ComputeStatistics("max", Max)

KEYSTROKE_BENCHMARK(EditBoxBLockB);
KEYSTROKE_BENCHMARK(EditBoxA);
KEYSTROKE_BENCHMARK(EditCirc);
KEYSTROKE_BENCHMARK(EditDBL);
BENCHMARK(RedrawOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawPictureAtRatio)->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Form.reset();
    Dir.reset();
    return 0;
}
