// Job files and paper: opening the largest sample file and a 4096-point
// format 4 file (reading, decoding and measuring alone, and through the
// window with its redraw); opening and saving the largest sample and a
// two-eye 4096-point format 1 file (in memory, and through the window to
// disk); rendering the printed shape as a PDF.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>

#include "app/ErrorReport.h"
#include "drawing/ShapePrint.h"
#include "app/Unit1.h"
#include "oma/JobFile.h"
#include "shape/TrceCalc.h"

namespace {

std::unique_ptr<QTemporaryDir> Dir;
std::unique_ptr<TForm1> Form;

QString Largest() {
    return QStringLiteral(TREVALON_SAMPLES_DIR "/R1000_3.oma");
}

// A frame-like outline of 4096 points written as a format 4 job file.
QString Format4File() {
    const QString name = Dir->filePath(QStringLiteral("fmt4-4096.oma"));
    if (std::filesystem::exists(name.toStdString())) return name;
    std::string radii;
    char group[8];
    for (int i = 0; i < 4096; ++i) {
        const double t = 2 * std::numbers::pi * i / 4096;
        const double r =
            2500 / std::sqrt(std::pow(std::cos(t), 2) + std::pow(1.25 * std::sin(t), 2)) +
            12 * std::sin(7 * t);
        std::snprintf(group, sizeof group, "%.4d", static_cast<int>(r));
        radii += group;
    }
    WriteJobFileBytes(name.toStdString(),
                      BuildJobFile({"JOB=\"4096\"", "DBL=18.00"}, {radii, 50, 40, 150, 18}, 4));
    return name;
}

// Both eyes traced at 4096 points, format 1, with a few hundred records.
QString TwoEyeFile() {
    const QString name = Dir->filePath(QStringLiteral("two-eyes-4096.oma"));
    if (std::filesystem::exists(name.toStdString())) return name;
    std::string text = "JOB=\"4097\"\r\nDBL=18.00\r\nHBOX=50.00;50.00\r\n";
    for (int i = 0; i < 300; ++i) text += "REC" + std::to_string(i) + "=1.00;2.00\r\n";
    for (const char* eye : {"R", "L"}) {
        text += std::string("TRCFMT=1;4096;E;") + eye + ";F\r\n";
        for (int i = 0; i < 4096; ++i) {
            const double t = 2 * std::numbers::pi * i / 4096;
            text += i % 10 == 0 ? "R=" : ";";
            text += std::to_string(static_cast<int>(
                2500 / std::sqrt(std::pow(std::cos(t), 2) + std::pow(1.25 * std::sin(t), 2))));
            if (i % 10 == 9 || i == 4095) text += "\r\n";
        }
    }
    std::ofstream(name.toStdString(), std::ios::binary) << text;
    return name;
}

TForm1& Window() {
    if (!Form) {
        THooks hooks;
        hooks.ProgramFile = Dir->filePath(QStringLiteral("trevalon")).toStdString();
        hooks.TempPath = Dir->path();
        Form = std::make_unique<TForm1>(std::move(hooks));
    }
    return *Form;
}

void ReadAndMeasure(benchmark::State& state, const QString& fileName) {
    for (auto _ : state) {
        const TJobFileData file = ParseJobFile(ReadJobFileBytes(fileName.toStdString()));
        TTraceInfo trace{file.Radii};
        MeasureTrace(trace);
        benchmark::DoNotOptimize(trace.Circ);
    }
}

void OpenInWindow(benchmark::State& state, const QString& fileName) {
    TForm1& form = Window();
    for (auto _ : state)
        if (!form.OpenJobFile(fileName)) state.SkipWithError("the file did not open");
}

void ReadLargestSample(benchmark::State& state) {
    ReadAndMeasure(state, Largest());
}
void ReadFormat4File4096(benchmark::State& state) {
    ReadAndMeasure(state, Format4File());
}
void OpenLargestSample(benchmark::State& state) {
    OpenInWindow(state, Largest());
}
void OpenFormat4File4096(benchmark::State& state) {
    OpenInWindow(state, Format4File());
}

void OpenAndSave(benchmark::State& state, const QString& fileName) {
    const std::string bytes = ReadJobFileBytes(fileName.toStdString());
    std::size_t written = 0;
    for (auto _ : state) {
        const TJobFileData file = ParseJobFile(bytes);
        const std::string text =
            RewriteJobFile(file.File, TJobFileShape{file.Radii, 50, 40, 150, file.DBL}, 1);
        written = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(written);
}

void OpenAndSaveInWindow(benchmark::State& state, const QString& fileName) {
    TForm1& form = Window();
    const QString saved = Dir->filePath(QStringLiteral("saved.oma"));
    for (auto _ : state) {
        if (!form.OpenJobFile(fileName)) state.SkipWithError("the file did not open");
        if (!form.SaveJobFile(saved, 1, true)) state.SkipWithError("the file was not saved");
    }
}

void OpenSaveLargestSample(benchmark::State& state) {
    OpenAndSave(state, Largest());
}
void OpenSaveTwoEyes4096(benchmark::State& state) {
    OpenAndSave(state, TwoEyeFile());
}
void OpenSaveLargestSampleInWindow(benchmark::State& state) {
    OpenAndSaveInWindow(state, Largest());
}
void OpenSaveTwoEyes4096InWindow(benchmark::State& state) {
    OpenAndSaveInWindow(state, TwoEyeFile());
}

void RenderPdf(benchmark::State& state) {
    const TJobFileData file = ParseJobFile(ReadJobFileBytes(Largest().toStdString()));
    TPrintSheet sheet;
    sheet.WorkingRadii = file.Radii;
    sheet.ReceivedRadii = file.Radii;
    sheet.Tray = QStringLiteral("7580");
    sheet.Date = QDate(2026, 12, 7);
    sheet.Version = QStringLiteral(TREVALON_VERSION);
    const QString pdf = Dir->filePath(QStringLiteral("shape.pdf"));
    for (auto _ : state) SaveShapeSheetPdf(pdf, sheet);
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(pdf.toStdString()));
}

BENCHMARK(ReadLargestSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadFormat4File4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenLargestSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenFormat4File4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSaveLargestSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSaveTwoEyes4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSaveLargestSampleInWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSaveTwoEyes4096InWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(RenderPdf)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    Dir = std::make_unique<QTemporaryDir>();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Form.reset();
    Dir.reset();
    return 0;
}
