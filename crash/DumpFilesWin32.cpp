#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crash/DumpReport.h"
#include "crash/DwarfLines.h"
#include "crash/Utf8Path.h"

namespace {

constexpr std::size_t MaxDumpSize = 16 * 1024 * 1024;

}  // namespace

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

namespace {

// The functions a module's COFF symbol table names, which mingw's linker
// keeps unless the program is stripped, and the source lines of its DWARF
// line table where the program kept that (.debug_line and its names).
class TModuleSymbols {
public:
    // Reads Path when its image is ImageSize bytes, as the crashed process
    // had it loaded (a file of another size was replaced since).
    TModuleSymbols(const std::string& path, std::uint64_t imageSize) {
        std::ifstream file(PathFromUtf8(path), std::ios::binary);
        char dos[64];
        if (!Read(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return;
        const std::uint32_t pe = Field<std::uint32_t>(dos, 0x3c);
        char headers[24 + 240];
        if (!Read(file, pe, headers, sizeof headers) || std::memcmp(headers, "PE\0\0", 4) != 0) return;
        const char* fileHeader = headers + 4;
        const char* optional = fileHeader + 20;
        const std::uint16_t sectionCount = Field<std::uint16_t>(fileHeader, 2);
        const std::uint32_t symbolTable = Field<std::uint32_t>(fileHeader, 8);
        const std::uint32_t symbolCount = Field<std::uint32_t>(fileHeader, 12);
        const std::uint16_t optionalSize = Field<std::uint16_t>(fileHeader, 16);
        // PE32+ only: this program is built for x86-64.
        if (Field<std::uint16_t>(optional, 0) != 0x20b || Field<std::uint32_t>(optional, 56) != imageSize) return;
        FImageBase = Field<std::uint64_t>(optional, 24);
        if (symbolTable == 0 || symbolCount == 0) return;

        std::vector<char> sections(std::size_t{sectionCount} * 40);
        if (!Read(file, pe + 24 + optionalSize, sections.data(), sections.size())) return;
        std::vector<char> symbols(std::size_t{symbolCount} * 18);
        if (!Read(file, symbolTable, symbols.data(), symbols.size())) return;
        char sizeField[4];
        const std::uint64_t stringsAt = std::uint64_t{symbolTable} + symbols.size();
        if (!Read(file, stringsAt, sizeField, sizeof sizeField)) return;
        const std::uint32_t stringsSize = Field<std::uint32_t>(sizeField, 0);
        std::vector<char> strings(stringsSize >= 4 && stringsSize < (64u << 20) ? stringsSize : 4, '\0');
        if (!Read(file, stringsAt, strings.data(), strings.size())) return;

        for (std::uint32_t i = 0; i < symbolCount; i += 1 + static_cast<unsigned char>(symbols[i * 18 + 17])) {
            const char* symbol = symbols.data() + std::size_t{i} * 18;
            const auto section = static_cast<std::int16_t>(Field<std::uint16_t>(symbol, 12));
            const std::uint16_t type = Field<std::uint16_t>(symbol, 14);
            const auto storage = static_cast<unsigned char>(symbol[16]);
            // Functions (type 0x20), external or file-local, in a section.
            if (type != 0x20 || (storage != 2 && storage != 3) || section < 1 || section > sectionCount) continue;
            const char* header = sections.data() + (section - 1) * 40;
            std::string name;
            if (Field<std::uint32_t>(symbol, 0) == 0) {
                const std::uint32_t offset = Field<std::uint32_t>(symbol, 4);
                if (offset >= strings.size()) continue;
                name = std::string(strings.data() + offset, ::strnlen(strings.data() + offset, strings.size() - offset));
            } else {
                name = std::string(symbol, ::strnlen(symbol, 8));
            }
            const std::uint32_t sectionStart = Field<std::uint32_t>(header, 12);
            FFunctions.push_back({sectionStart + Field<std::uint32_t>(symbol, 8),
                                  sectionStart + Field<std::uint32_t>(header, 8), std::move(name)});
        }
        std::sort(FFunctions.begin(), FFunctions.end(),
                  [](const TFunction& a, const TFunction& b) { return a.Start < b.Start; });

        // Section names longer than eight characters are in the string table.
        const auto content = [&](const char* wanted) {
            for (std::uint16_t i = 0; i < sectionCount; ++i) {
                const char* header = sections.data() + std::size_t{i} * 40;
                std::string name(header, ::strnlen(header, 8));
                if (name.size() > 1 && name[0] == '/') {
                    const unsigned long offset = std::strtoul(name.c_str() + 1, nullptr, 10);
                    name = offset < strings.size()
                               ? std::string(strings.data() + offset, ::strnlen(strings.data() + offset, strings.size() - offset))
                               : std::string();
                }
                if (name != wanted) continue;
                const std::uint32_t rawSize = Field<std::uint32_t>(header, 16);
                const std::uint32_t virtualSize = Field<std::uint32_t>(header, 8);
                const std::uint32_t size = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
                std::string bytes(size < (256u << 20) ? size : 0, '\0');
                if (!Read(file, Field<std::uint32_t>(header, 20), bytes.data(), bytes.size())) bytes.clear();
                return bytes;
            }
            return std::string();
        };
        const std::string lines = content(".debug_line");
        if (!lines.empty()) FLines = TDwarfLines(lines, content(".debug_line_str"), content(".debug_str"));
    }

    // The readable name of the function whose code holds Offset; empty when none.
    std::string NameAt(std::uint64_t offset) const {
        auto it = std::upper_bound(FFunctions.begin(), FFunctions.end(), offset,
                                   [](std::uint64_t value, const TFunction& f) { return value < f.Start; });
        if (it == FFunctions.begin()) return {};
        --it;
        if (offset >= it->SectionEnd) return {};
        return DemangleTypeName(it->Name);
    }

    // The source line of the code at Offset, when the program kept its line table.
    std::optional<TSourceLine> LineAt(std::uint64_t offset) const { return FLines.At(FImageBase + offset); }

private:
    struct TFunction {
        std::uint64_t Start;
        std::uint64_t SectionEnd;
        std::string Name;
    };

    static bool Read(std::ifstream& file, std::uint64_t at, char* data, std::size_t size) {
        file.clear();  // a read that failed before must not fail this one
        file.seekg(static_cast<std::streamoff>(at));
        file.read(data, static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(file.gcount()) == size;
    }

    template <typename TValue>
    static TValue Field(const char* data, std::size_t offset) {
        TValue value;
        std::memcpy(&value, data + offset, sizeof value);  // little-endian, as the file
        return value;
    }

    std::vector<TFunction> FFunctions;
    std::uint64_t FImageBase = 0;
    TDwarfLines FLines;
};

}  // namespace

// Frames are named from the modules' symbol tables, read from the files the
// crashed process had loaded, and by module and offset.
TFrameResolver SymbolResolver() {
    auto modules = std::make_shared<std::map<std::string, std::unique_ptr<TModuleSymbols>>>();
    return [modules](const TDump& dump, std::size_t index) {
        TFrameInfo info = ModuleOnly(dump, index);
        if (info.Module.empty()) return info;
        const std::uint64_t address = dump.Frames[index];
        const TDumpModule* loaded = nullptr;
        for (const TDumpModule& module : dump.Modules)
            if (module.Path == info.Module && address >= module.Start && address < module.End) loaded = &module;
        if (loaded == nullptr) return info;
        std::unique_ptr<TModuleSymbols>& symbols = (*modules)[info.Module];
        if (!symbols) symbols = std::make_unique<TModuleSymbols>(info.Module, loaded->End - loaded->Start);
        // A return address points after its call; look up the call itself.
        const bool exact = index == 0 && dump.TopExact;
        const std::uint64_t code = info.Offset - (exact || info.Offset == 0 ? 0 : 1);
        info.Function = symbols->NameAt(code);
        if (const std::optional<TSourceLine> line = symbols->LineAt(code)) {
            info.File = line->File;
            info.Line = line->Line;
        }
        return info;
    };
}
