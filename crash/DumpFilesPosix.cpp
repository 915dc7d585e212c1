#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <boost/stacktrace/frame.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "crash/DumpReport.h"

namespace {

// Larger than any dump the handler writes (a few hundred frames and the
// module list); a bigger file is not one of ours.
constexpr std::size_t MaxDumpSize = 16 * 1024 * 1024;

// This process's modules: path and file identity to load address.
struct TLoadedModule {
    std::string Id;
    std::uint64_t Base = 0;
};

std::map<std::string, TLoadedModule> LoadedModules() {
    std::map<std::string, TLoadedModule> modules;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::string text;
    while (std::getline(maps, line)) text += line + "\n";
    text = "trevalon dump 1\ntime 0\nevent x\nmodules\n" + text + "end of dump\n";
    if (std::optional<TDump> own = ParseDump(text)) {
        for (const TDumpModule& module : own->Modules) {
            if (module.Path.empty() || module.Id.empty()) continue;
            auto [it, added] = modules.try_emplace(module.Path, TLoadedModule{module.Id, module.Start});
            if (!added && it->second.Id == module.Id && module.Start < it->second.Base) it->second.Base = module.Start;
        }
    }
    return modules;
}

}  // namespace

std::optional<TTakenDump> TakeDump(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    // A living process holds its dump locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    TTakenDump taken;
    taken.TakenPath = path.substr(0, path.rfind('.')) + ".taken";
    if (path != taken.TakenPath && ::rename(path.c_str(), taken.TakenPath.c_str()) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    char chunk[65536];
    ssize_t n = 0;
    while (taken.Text.size() < MaxDumpSize && (n = ::read(fd, chunk, sizeof chunk)) > 0)
        taken.Text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    return taken;
}

TFrameResolver SymbolResolver() {
    auto loaded = std::make_shared<std::map<std::string, TLoadedModule>>();
    auto ready = std::make_shared<bool>(false);
    return [loaded, ready](const TDump& dump, std::size_t index) {
        TFrameInfo info = ModuleOnly(dump, index);
        if (info.Module.empty()) return info;
        if (!*ready) {
            *loaded = LoadedModules();
            *ready = true;
        }
        const TDumpModule* crashed = nullptr;
        for (const TDumpModule& module : dump.Modules)
            if (module.Path == info.Module && dump.Frames[index] >= module.Start && dump.Frames[index] < module.End)
                crashed = &module;
        const auto here = loaded->find(info.Module);
        // Only the very same file, loaded here too, has the same code at the same offset.
        if (crashed == nullptr || crashed->Id.empty() || here == loaded->end() || here->second.Id != crashed->Id)
            return info;
        // A return address points after its call; look up the call itself.
        const bool exact = index == 0 && dump.TopExact;
        const std::uint64_t address = here->second.Base + info.Offset - (exact || info.Offset == 0 ? 0 : 1);
        const boost::stacktrace::frame frame(reinterpret_cast<boost::stacktrace::frame::native_frame_ptr_t>(address));
        info.Function = frame.name();
        info.File = frame.source_file();
        info.Line = static_cast<unsigned>(frame.source_line());
        return info;
    };
}
