// Turning a crash dump into a report at start-up: reading the dump, finding
// each frame's function, file and line, writing and rotating the report.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "crash/CrashHandler.h"
#include "crash/DumpReport.h"

namespace fs = std::filesystem;

namespace {

int* volatile NullTarget = nullptr;

[[gnu::noinline]] void FailDeepInside(int depth) {
    if (depth > 0) return FailDeepInside(depth - 1);
    *NullTarget = 1;
}

// A real dump: a child of this program (the same file, so its frames
// resolve) fails 20 calls deep.
std::string MakeDump(const fs::path& folder) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!InstallCrashHandler(folder.string(), "bench")) ::_exit(3);
        FailDeepInside(20);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".dump") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        fs::remove(entry.path());
        return text.str();
    }
    throw std::runtime_error("no dump was written");
}

void DumpToReport(benchmark::State& state) {
    const fs::path folder = fs::temp_directory_path() / ("trevalon-bench-reports-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string dump;
    try {
        dump = MakeDump(folder);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    std::size_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(folder / "1-1.dump", std::ios::binary) << dump;
        state.ResumeTiming();
        const std::vector<TCrashReport> reports = ConvertDumps(folder.string(), "Bench");
        if (reports.size() != 1) state.SkipWithError("no report");
        benchmark::DoNotOptimize(reports);
    }
    if (auto parsed = ParseDump(dump)) frames = parsed->Frames.size();
    state.counters["frames"] = static_cast<double>(frames);
    fs::remove_all(folder);
}
// The first conversion of a process also loads the debugging information.
BENCHMARK(DumpToReport)->Unit(benchmark::kMillisecond)->Iterations(1)->Name("DumpToReport/first");
BENCHMARK(DumpToReport)->Unit(benchmark::kMillisecond)->Name("DumpToReport/later");

}  // namespace

BENCHMARK_MAIN();
