#pragma once

// The source line of a code address, from a program's DWARF line table
// (versions 2 to 5, as compilers write it into .debug_line). Used where no
// system library reads it for us: Windows programs built by mingw carry it
// in sections of their PE file. Damaged tables give fewer lines, never a
// fault: every read is bounds-checked.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TSourceLine {
    std::string File;
    unsigned Line = 0;
};

class TDwarfLines {
public:
    TDwarfLines() = default;
    // LineSection is .debug_line; LineStrings (.debug_line_str) and Strings
    // (.debug_str) hold the names version 5 refers to, empty when absent.
    TDwarfLines(std::string_view lineSection, std::string_view lineStrings,
                std::string_view strings);

    // The line whose code holds Address (as the line table counts
    // addresses: the program's preferred load address included).
    std::optional<TSourceLine> At(std::uint64_t address) const;

private:
    // The code from Start up to End came from one line.
    struct TRange {
        std::uint64_t Start;
        std::uint64_t End;
        std::uint32_t File;  // index into FFiles
        std::uint32_t Line;
    };
    void ReadUnit(std::string_view unit, std::string_view lineStrings, std::string_view strings);

    std::vector<std::string> FFiles;
    std::vector<TRange> FRanges;  // sorted by Start
};
