#include <windows.h>

#include <cstdlib>
#include <cxxabi.h>
#include <filesystem>
#include <memory>
#include <string>

#include "crash/DumpReport.h"
#include "crash/Utf8Path.h"

namespace {

constexpr std::size_t MaxDumpSize = 16 * 1024 * 1024;

}  // namespace

std::string DemangleTypeName(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : name;
}

std::optional<TTakenDump> TakeDump(const std::string& path) {
    const std::filesystem::path original = PathFromUtf8(path);
    // A living process keeps its dump open without sharing.
    HANDLE file = ::CreateFileW(original.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    TTakenDump taken;
    char chunk[65536];
    DWORD n = 0;
    while (taken.Text.size() < MaxDumpSize && ::ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0)
        taken.Text.append(chunk, n);
    ::CloseHandle(file);
    std::filesystem::path renamed = original;
    renamed.replace_extension(".taken");
    taken.TakenPath = Utf8FromPath(renamed);
    if (renamed != original && !::MoveFileExW(original.wstring().c_str(), renamed.wstring().c_str(), MOVEFILE_REPLACE_EXISTING))
        return std::nullopt;
    return taken;
}

// Programs built with mingw carry no symbols Boost.Stacktrace can read on
// Windows: every frame is named by module and offset.
TFrameResolver SymbolResolver() {
    return ModuleOnly;
}
