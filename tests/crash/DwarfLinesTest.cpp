// The DWARF line reader on the fault program's own line table, taken from the
// built program by objcopy: each deliberate fault's marked line is found in
// the function nm places it in, and a damaged table gives fewer lines, never
// a wrong one for what it still holds, nor a fault.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Folders.h"
#include "crash/DwarfLines.h"

namespace {

const std::string Tables = FAULT_PROGRAM_TABLES;

struct TCode {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
};

// Function's code in the fault program: its address up to the next symbol's.
std::optional<TCode> CodeOf(const std::string& function) {
    std::istringstream listing(ReadWholeFile(Tables + ".syms"));
    std::map<std::uint64_t, std::string> code;
    std::string line;
    while (std::getline(listing, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type && std::getline(fields >> std::ws, name))
            code.emplace(std::stoull(address, nullptr, 16), name);
    }
    for (auto it = code.begin(); it != code.end(); ++it) {
        if (it->second.find("::" + function + "(") == std::string::npos) continue;
        const auto next = std::next(it);
        if (next == code.end()) return std::nullopt;
        return TCode{it->first, next->first};
    }
    return std::nullopt;
}

// The lines Lines gives for the code of Function, in address order.
std::vector<std::string> LinesOf(const TDwarfLines& lines, const TCode& code) {
    std::vector<std::string> found;
    for (std::uint64_t address = code.Start; address < code.End; ++address)
        if (const std::optional<TSourceLine> line = lines.At(address))
            found.push_back(line->File + ":" + std::to_string(line->Line));
    return found;
}

const char* const Faults[][2] = {
    {"null", "CrashByNullDereference"},    {"abort", "CrashByAbort"},
    {"throw", "CrashByUncaughtException"}, {"divide", "CrashByDivisionByZero"},
    {"trap", "CrashByIllegalInstruction"}, {"escaped", "CrashInEventHandler"},
};

class TDwarfLinesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FSection.empty()) << "no line table at " << Tables << ".debug_line";
        for (const auto& [mode, function] : Faults) {
            const std::optional<TCode> code = CodeOf(function);
            ASSERT_TRUE(code) << function << " is not in " << Tables << ".syms";
            FCode.push_back(*code);
        }
    }

    const std::string FSection = ReadWholeFile(Tables + ".debug_line");
    const std::string FLineStrings = ReadWholeFile(Tables + ".debug_line_str");
    std::vector<TCode> FCode;
};

TEST_F(TDwarfLinesTest, EachFaultsMarkedLineLiesInItsFunction) {
    const TDwarfLines lines(FSection, FLineStrings, {});
    for (std::size_t i = 0; i < std::size(Faults); ++i) {
        const unsigned marked =
            LineWith(FAULT_PROGRAM_SOURCE, std::string("// fault: ") + Faults[i][0]);
        ASSERT_NE(marked, 0u) << Faults[i][0];
        const std::vector<std::string> found = LinesOf(lines, FCode[i]);
        ASSERT_FALSE(found.empty()) << Faults[i][1];
        // Every byte of the function comes from the fault program's source.
        for (const std::string& line : found)
            EXPECT_NE(line.find("/tests/crash/FaultProgram.cpp:"), std::string::npos)
                << Faults[i][1] << ": " << line;
        EXPECT_NE(std::find(found.begin(), found.end(),
                            std::string(FAULT_PROGRAM_SOURCE) + ":" + std::to_string(marked)),
                  found.end())
            << Faults[i][1] << " has no code on line " << marked;
    }
    EXPECT_FALSE(lines.At(0).has_value());
}

TEST_F(TDwarfLinesTest, ACutOrDamagedTableGivesFewerLinesAndNoFault) {
    const TDwarfLines whole(FSection, FLineStrings, {});
    // Cut anywhere: the units wholly before the cut read as in the whole table.
    for (std::size_t cut = 0; cut < FSection.size(); cut += FSection.size() / 97 + 1) {
        const TDwarfLines part(std::string_view(FSection).substr(0, cut), FLineStrings, {});
        for (const TCode& code : FCode) {
            const std::optional<TSourceLine> line = part.At(code.Start);
            if (!line) continue;
            const std::optional<TSourceLine> expected = whole.At(code.Start);
            ASSERT_TRUE(expected);
            EXPECT_EQ(line->File + ":" + std::to_string(line->Line),
                      expected->File + ":" + std::to_string(expected->Line))
                << "cut at " << cut;
        }
    }
    // Flipped bits and lost names: whatever is read, reading ends.
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = FSection;
        for (int flips = 0; flips < 1 + round % 8; ++flips) {
            const std::size_t at = random() % damaged.size();
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
        }
        const TDwarfLines lines(damaged, round % 3 == 0 ? std::string() : FLineStrings, {});
        for (const TCode& code : FCode) (void)lines.At(code.Start);
    }
}

}  // namespace
