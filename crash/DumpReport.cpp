#include "crash/DumpReport.h"

#include <cxxabi.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "crash/DumpText.h"
#include "crash/Utf8Path.h"

namespace fs = std::filesystem;

namespace {

bool ParseNumber(std::string_view text, std::uint64_t& value, int base = 10) {
    if (base == 16) {
        if (text.size() < 3 || text[0] != '0' || text[1] != 'x') return false;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::uint64_t HexField(std::string_view text, bool& ok) {
    std::uint64_t value = 0;
    if (text.empty()) {
        ok = false;
        return 0;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    ok = ok && error == std::errc() && end == text.data() + text.size();
    return value;
}

std::optional<TDumpModule> ParseModuleLine(std::string_view line) {
    TDumpModule module;
    bool ok = true;
    if (line.substr(0, 7) == "module ") {
        // Windows: "module 0xbase 0xsize path"
        line.remove_prefix(7);
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos) return std::nullopt;
        std::uint64_t base = 0, size = 0;
        if (!ParseNumber(line.substr(0, first), base, 16) ||
            !ParseNumber(line.substr(first + 1, second - first - 1), size, 16))
            return std::nullopt;
        module.Start = base;
        module.End = base + size;
        module.Path = std::string(line.substr(second + 1));
        return module;
    }
    // POSIX: "start-end perms offset dev inode   path"
    std::size_t pos = 0;
    auto nextField = [&]() -> std::string_view {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ') ++pos;
        return line.substr(start, pos - start);
    };
    const std::string_view range = nextField();
    nextField();  // permissions
    nextField();  // offset
    const std::string_view device = nextField();
    const std::string_view inode = nextField();
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos || inode.empty()) return std::nullopt;
    module.Start = HexField(range.substr(0, dash), ok);
    module.End = HexField(range.substr(dash + 1), ok);
    if (!ok || module.End < module.Start) return std::nullopt;
    while (pos < line.size() && line[pos] == ' ') ++pos;
    module.Path = std::string(line.substr(pos));
    if (inode != "0") module.Id = std::string(device) + " " + std::string(inode);
    return module;
}

const TDumpModule* ModuleOf(const TDump& dump, std::uint64_t address) {
    for (const TDumpModule& module : dump.Modules)
        if (address >= module.Start && address < module.End) return &module;
    return nullptr;
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string ReportName(const std::string& programName, const TDump& dump) {
    std::string prefix = programName;
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::time_t time = static_cast<std::time_t>(dump.Time);
    const std::tm* utc = std::gmtime(&time);
    char stamp[32] = "00000000-000000";
    if (utc != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", utc);
    return prefix + "-" + stamp + "-" + std::to_string(dump.Process) + ".txt";
}

bool IsReportName(const std::string& name, const std::string& prefix) {
    return name.size() > prefix.size() + 5 && name.compare(0, prefix.size() + 1, prefix + "-") == 0 &&
           name.compare(name.size() - 4, 4, ".txt") == 0;
}

void KeepNewest(const std::string& folder, const std::string& programName, std::size_t keep) {
    std::string prefix = programName;
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(PathFromUtf8(folder), error)) {
        const std::string name = Utf8FromPath(entry.path().filename());
        if (entry.is_regular_file(error) && IsReportName(name, prefix)) names.push_back(name);
    }
    // Names carry the time fixed-width, so their order is the reports' age.
    std::sort(names.begin(), names.end());
    for (std::size_t i = 0; i + keep < names.size(); ++i) fs::remove(PathFromUtf8(folder) / names[i], error);
}

}  // namespace

std::optional<TDump> ParseDump(std::string_view text) {
    const std::string_view first = DumpFirstLine;
    const std::string_view last = DumpLastLine;
    if (text.substr(0, first.size()) != first || text.size() < first.size() + last.size() ||
        text.substr(text.size() - last.size()) != last)
        return std::nullopt;
    text.remove_prefix(first.size());
    text.remove_suffix(last.size());

    TDump dump;
    bool modules = false, haveTime = false, haveEvent = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (modules) {
            if (auto module = ParseModuleLine(line)) dump.Modules.push_back(std::move(*module));
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        std::uint64_t number = 0;
        if (key == "modules") {
            modules = true;
        } else if (key == "version") {
            dump.Version = std::string(value);
        } else if (key == "time") {
            const bool negative = !value.empty() && value[0] == '-';
            if (!ParseNumber(negative ? value.substr(1) : value, number) || number > INT64_MAX) return std::nullopt;
            dump.Time = negative ? -static_cast<std::int64_t>(number) : static_cast<std::int64_t>(number);
            haveTime = true;
        } else if (key == "process") {
            if (!ParseNumber(value, dump.Process)) return std::nullopt;
        } else if (key == "thread") {
            const std::size_t mark = value.find(' ');
            if (!ParseNumber(value.substr(0, mark), dump.Thread)) return std::nullopt;
            dump.MainThread = mark != std::string_view::npos && value.substr(mark + 1) == "main";
        } else if (key == "event") {
            dump.Event = std::string(value);
            haveEvent = !value.empty();
        } else if (key == "address") {
            if (!ParseNumber(value, number, 16)) return std::nullopt;
            dump.Address = number;
        } else if (key == "exception") {
            dump.ExceptionType = std::string(value);
        } else if (key == "message") {
            dump.Message = std::string(value);
        } else if (key == "where") {
            dump.Where = std::string(value);
        } else if (key == "top") {
            dump.TopExact = value == "exact";
        } else if (key == "frame") {
            if (!ParseNumber(value, number, 16)) return std::nullopt;
            dump.Frames.push_back(number);
        } else {
            return std::nullopt;
        }
    }
    if (!haveTime || !haveEvent) return std::nullopt;
    return dump;
}

TFrameInfo ModuleOnly(const TDump& dump, std::size_t index) {
    TFrameInfo info;
    const std::uint64_t address = dump.Frames.at(index);
    const TDumpModule* module = ModuleOf(dump, address);
    if (module == nullptr || module->Path.empty()) return info;
    // The module's load address: its lowest mapping.
    std::uint64_t base = module->Start;
    for (const TDumpModule& other : dump.Modules)
        if (other.Path == module->Path && other.Id == module->Id) base = std::min(base, other.Start);
    info.Module = module->Path;
    info.Offset = address - base;
    return info;
}

std::string DescribeFailure(const TDump& dump) {
    std::string text;
    if (dump.Event == "terminate") {
        if (!dump.ExceptionType.empty()) {
            text = "uncaught exception " + DemangleTypeName(dump.ExceptionType);
            if (!dump.Message.empty()) text += ": \"" + dump.Message + "\"";
        } else {
            text = "std::terminate called without an exception";
        }
    } else {
        text = dump.Event;
        if (dump.Address) text += " at address " + Hex(*dump.Address);
    }
    if (!dump.Where.empty()) text += " (escaped " + dump.Where + ")";
    return text;
}

std::string FormatLocalTime(std::int64_t time) {
    const std::time_t value = static_cast<std::time_t>(time);
    const std::tm* local = std::localtime(&value);
    char text[32] = "?";
    if (local != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

std::string FormatReport(const std::string& programName, const TDump& dump, const TFrameResolver& resolve) {
    std::ostringstream out;
    out << programName << " stopped unexpectedly.\n\n";
    out << "Version: " << (dump.Version.empty() ? "unknown" : dump.Version) << "\n";
    out << "Time: " << FormatLocalTime(dump.Time) << "\n";
    out << "What happened: " << DescribeFailure(dump) << "\n";
    out << "Thread: " << dump.Thread << (dump.MainThread ? " (main thread)" : "") << "\n";
    out << "Process: " << dump.Process << "\n\n";
    out << "Call stack, innermost call first:\n";
    for (std::size_t i = 0; i < dump.Frames.size(); ++i) {
        TFrameInfo info;
        try {
            info = resolve(dump, i);
        } catch (const std::exception&) {
            info = ModuleOnly(dump, i);
        }
        out << "#" << i << "  " << Hex(dump.Frames[i]) << "  "
            << (info.Function.empty() ? "??" : info.Function);
        if (!info.File.empty()) {
            out << " at " << info.File;
            if (info.Line != 0) out << ":" << info.Line;
        }
        if (!info.Module.empty()) out << "  [" << info.Module << " + " << Hex(info.Offset) << "]";
        out << "\n";
    }
    if (dump.Frames.empty()) out << "(no frames recorded)\n";
    return out.str();
}

std::vector<TCrashReport> ConvertDumps(const std::string& folder, const std::string& programName,
                                       std::size_t keep, const TFrameResolver& resolve) {
    std::vector<TCrashReport> reports;
    std::error_code error;
    std::vector<std::string> dumps, stale;
    for (const fs::directory_entry& entry : fs::directory_iterator(PathFromUtf8(folder), error)) {
        const fs::path& path = entry.path();
        if (path.extension() == ".dump") dumps.push_back(Utf8FromPath(path));
        if (path.extension() == ".taken") stale.push_back(Utf8FromPath(path));
    }
    // A dump left half converted: the start converting it failed, perhaps in
    // reading symbols, so this time it is reported by module and offset only
    // and one bad dump cannot stop every later start.
    std::vector<std::pair<std::string, const TFrameResolver*>> work;
    const TFrameResolver moduleOnly = ModuleOnly;
    for (const std::string& path : stale) work.emplace_back(path, &moduleOnly);
    std::sort(dumps.begin(), dumps.end());
    for (const std::string& path : dumps) work.emplace_back(path, &resolve);
    for (const auto& [path, resolver] : work) {
        std::optional<TTakenDump> taken = TakeDump(path);
        if (!taken) continue;
        if (std::optional<TDump> dump = ParseDump(taken->Text)) {
            const fs::path reportPath = PathFromUtf8(folder) / ReportName(programName, *dump);
            const std::string text = FormatReport(programName, *dump, *resolver);
            std::ofstream file(reportPath, std::ios::binary | std::ios::trunc);
            file << text;
            file.close();
            if (file)
                reports.push_back({Utf8FromPath(reportPath), dump->Time, DescribeFailure(*dump)});
            else
                fs::remove(reportPath, error);
        }
        fs::remove(PathFromUtf8(taken->TakenPath), error);
    }
    if (!reports.empty()) KeepNewest(folder, programName, keep);
    // Only reports that survived the rotation are news.
    std::erase_if(reports, [&](const TCrashReport& report) { return !fs::exists(PathFromUtf8(report.Path), error); });
    std::sort(reports.begin(), reports.end(),
              [](const TCrashReport& a, const TCrashReport& b) { return a.Path < b.Path; });
    return reports;
}

std::string DemangleTypeName(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : name;
}
