// Shape calculator costs at the editor's point counts. The editor runs
// resample + targets + measure on every keystroke, so that sum must stay far
// below a screen frame.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <string>

#include "shape/TrceCalc.h"

namespace {

// A frame-like outline: 24 mm with a few harmonics, count points.
std::string FrameShape(int count) {
    std::string radii;
    for (int i = 0; i < count; ++i) {
        const double t = 2 * std::numbers::pi * i / count;
        const double r =
            24 + 3 * std::cos(2 * t) + 0.8 * std::cos(3 * t + 1) + 0.4 * std::sin(5 * t);
        AppendRadiusGroup(radii, RoundRadius(r * 100));
    }
    return radii;
}

void Measure1024(benchmark::State& state) {
    const std::string radii = FrameShape(1024);
    for (auto _ : state) {
        TTraceCalc calc;
        calc.LoadTrace(radii);
        benchmark::DoNotOptimize(calc.GetCirc());
    }
}
BENCHMARK(Measure1024);

void ApplyTargets1024(benchmark::State& state) {
    const std::string radii = FrameShape(1024);
    const bool lockB = state.range(0) != 0;
    TTraceCalc probe;
    probe.LoadTrace(radii);
    const double hbox = probe.GetHBox() + 1.5, vbox = probe.GetVBox() + 2.5;
    for (auto _ : state) {
        state.PauseTiming();
        TTraceCalc calc;
        calc.LoadTrace(radii);
        calc.LockB = lockB;
        if (!lockB) calc.SetTargetHBox(hbox);
        calc.SetTargetVBox(vbox);  // measures first: kept out of the timing
        state.ResumeTiming();
        calc.ApplyTargets();
        benchmark::DoNotOptimize(calc.Radii.data());
    }
    state.SetLabel(lockB ? "LockB" : "free");
}
BENCHMARK(ApplyTargets1024)->Arg(0)->Arg(1);

void ScaleToCirc1024(benchmark::State& state) {
    const std::string radii = FrameShape(1024);
    TTraceCalc probe;
    probe.LoadTrace(radii);
    const double target = probe.GetCirc() * 1.05;
    for (auto _ : state) {
        state.PauseTiming();
        TTraceCalc calc;
        calc.LoadTrace(radii);
        calc.GetCirc();
        state.ResumeTiming();
        calc.ScaleToCirc(target);
        benchmark::DoNotOptimize(calc.Radii.data());
    }
}
BENCHMARK(ScaleToCirc1024);

void Resample512To1024(benchmark::State& state) {
    const std::string radii = FrameShape(512);
    for (auto _ : state) {
        TTraceCalc calc;
        calc.LoadTrace(radii);
        calc.Resample(1024);
        benchmark::DoNotOptimize(calc.Radii.data());
    }
}
BENCHMARK(Resample512To1024);

// One value edit of box A and box B as the editor does it: calculator 1 resamples the received
// shape to 1024 points, calculator 2 applies the targets, the working shape is measured.
void EditorKeystroke(benchmark::State& state) {
    const std::string received = FrameShape(512);
    const bool lockB = state.range(0) != 0;
    TTraceCalc probe;
    probe.LoadTrace(received);
    const double hbox = probe.GetHBox() + 1.5, vbox = probe.GetVBox() + 2.5;
    for (auto _ : state) {
        TTraceCalc calc1;
        calc1.LoadTrace(received);
        calc1.Resample(1024);
        TTraceCalc calc2;
        calc2.LoadTrace(calc1.GetTrace());
        calc2.LockB = lockB;
        if (!lockB) calc2.SetTargetHBox(hbox);
        calc2.SetTargetVBox(vbox);
        TTraceInfo working;
        working.Radii = calc2.GetTrace();
        MeasureTrace(working);
        benchmark::DoNotOptimize(working.Circ);
    }
    state.SetLabel(lockB ? "LockB" : "free");
}
BENCHMARK(EditorKeystroke)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
