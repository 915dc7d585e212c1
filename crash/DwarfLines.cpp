#include "crash/DwarfLines.h"

#include <algorithm>
#include <cstring>

namespace {

// Forms and content types of version 5's directory and file tables.
enum : std::uint64_t {
    fmBlock = 0x09,
    fmBlock1 = 0x0a,
    fmData1 = 0x0b,
    fmData2 = 0x05,
    fmData4 = 0x06,
    fmData8 = 0x07,
    fmData16 = 0x1e,
    fmLineStrp = 0x1f,
    fmString = 0x08,
    fmStrp = 0x0e,
    fmUdata = 0x0f,
    ctPath = 1,
    ctDirectoryIndex = 2,
};

// Opcodes of the line-number program that change the row being built; the
// others (column, statement flags, isa, and any a later version adds) are
// skipped by the operand counts the header gives.
enum : unsigned {
    opExtended = 0x00,
    opCopy = 0x01,
    opAdvancePc = 0x02,
    opAdvanceLine = 0x03,
    opSetFile = 0x04,
    opConstAddPc = 0x08,
    opFixedAdvancePc = 0x09,
};

// Operations behind opExtended.
enum : unsigned {
    exEndSequence = 0x01,
    exSetAddress = 0x02,
};

// A cursor over bytes that turns every read past the end into a failure
// (Ok() false) instead of a fault; values read then are 0.
class TCursor {
public:
    explicit TCursor(std::string_view bytes) : FBytes(bytes) {}

    bool Ok() const { return FOk; }
    bool AtEnd() const { return FAt >= FBytes.size(); }
    std::size_t Position() const { return FAt; }

    std::uint64_t Fixed(std::size_t size) {
        if (!Take(size)) return 0;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size && i < 8; ++i)
            value |= std::uint64_t{static_cast<unsigned char>(FBytes[FAt - size + i])} << (8 * i);
        return value;
    }
    std::uint64_t Unsigned() {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const auto byte = static_cast<std::uint8_t>(Fixed(1));
            if (!FOk) return 0;
            if (shift < 64) value |= std::uint64_t{byte & 0x7fu} << shift;
            if ((byte & 0x80u) == 0) return value;
        }
    }
    std::int64_t Signed() {
        std::uint64_t value = 0;
        unsigned shift = 0;
        std::uint8_t byte = 0;
        do {
            byte = static_cast<std::uint8_t>(Fixed(1));
            if (!FOk) return 0;
            if (shift < 64) value |= std::uint64_t{byte & 0x7fu} << shift;
            shift += 7;
        } while ((byte & 0x80u) != 0);
        if (shift < 64 && (byte & 0x40u) != 0) value |= ~std::uint64_t{0} << shift;
        return static_cast<std::int64_t>(value);
    }
    std::string_view String() {
        const std::size_t end =
            FAt < FBytes.size() ? FBytes.find('\0', FAt) : std::string_view::npos;
        if (end == std::string_view::npos) {
            FOk = false;
            return {};
        }
        const std::string_view text = FBytes.substr(FAt, end - FAt);
        FAt = end + 1;
        return text;
    }
    bool Skip(std::uint64_t size) { return Take(size); }

private:
    bool Take(std::uint64_t size) {
        if (!FOk || size > FBytes.size() - std::min(FAt, FBytes.size())) {
            FOk = false;
            return false;
        }
        FAt += static_cast<std::size_t>(size);
        return true;
    }

    std::string_view FBytes;
    std::size_t FAt = 0;
    bool FOk = true;
};

// The NUL-ended name at Offset of a string section; empty when outside it.
std::string_view StringAt(std::string_view section, std::uint64_t offset) {
    if (offset >= section.size()) return {};
    const std::size_t end = section.find('\0', static_cast<std::size_t>(offset));
    if (end == std::string_view::npos) return {};
    return section.substr(static_cast<std::size_t>(offset), end - static_cast<std::size_t>(offset));
}

struct TEntryFormat {
    std::uint64_t Content;
    std::uint64_t Form;
};

// One directory or file entry of version 5: its name and directory index.
struct TEntry {
    std::string Path;
    std::uint64_t Directory = 0;
};

bool ReadEntry(TCursor& in, const std::vector<TEntryFormat>& formats, bool offset64,
               std::string_view lineStrings, std::string_view strings, TEntry& entry) {
    for (const TEntryFormat& format : formats) {
        std::uint64_t number = 0;
        std::string_view text;
        switch (format.Form) {
            case fmString:
                text = in.String();
                break;
            case fmLineStrp:
                text = StringAt(lineStrings, in.Fixed(offset64 ? 8 : 4));
                break;
            case fmStrp:
                text = StringAt(strings, in.Fixed(offset64 ? 8 : 4));
                break;
            case fmUdata:
                number = in.Unsigned();
                break;
            case fmData1:
                number = in.Fixed(1);
                break;
            case fmData2:
                number = in.Fixed(2);
                break;
            case fmData4:
                number = in.Fixed(4);
                break;
            case fmData8:
                number = in.Fixed(8);
                break;
            case fmData16:
                in.Skip(16);
                break;
            case fmBlock:
                in.Skip(in.Unsigned());
                break;
            case fmBlock1:
                in.Skip(in.Fixed(1));
                break;
            default:
                return false;  // a form this reader does not know: the size is unknown
        }
        if (format.Content == ctPath) entry.Path = std::string(text);
        if (format.Content == ctDirectoryIndex) entry.Directory = number;
    }
    return in.Ok();
}

bool ReadEntries(TCursor& in, bool offset64, std::string_view lineStrings, std::string_view strings,
                 std::vector<TEntry>& entries) {
    std::vector<TEntryFormat> formats(in.Fixed(1));
    for (TEntryFormat& format : formats) format = {in.Unsigned(), in.Unsigned()};
    const std::uint64_t count = in.Unsigned();
    // Entries without fields would take no bytes: a count of them proves nothing.
    if (formats.empty()) return in.Ok() && count == 0;
    for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
        TEntry entry;
        if (!ReadEntry(in, formats, offset64, lineStrings, strings, entry)) return false;
        entries.push_back(std::move(entry));
    }
    return in.Ok();
}

// Path without its "." and "name/.." steps: a build folder's "../src/x.cpp"
// reads as the source's own path.
std::string WithoutDotSteps(const std::string& path) {
    if (path.find("/.") == std::string::npos) return path;
    std::vector<std::string> steps;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = path.find('/', from);
        const std::string step =
            path.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (step == ".." && !steps.empty() && !steps.back().empty() && steps.back() != "..")
            steps.pop_back();
        else if (step != "." && !(step.empty() && !steps.empty()))
            steps.push_back(step);
        if (end == std::string::npos) break;
        from = end + 1;
    }
    std::string joined;
    for (std::size_t i = 0; i < steps.size(); ++i) joined += (i == 0 ? "" : "/") + steps[i];
    return steps.size() == 1 && steps[0].empty() ? "/" : joined;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || name.empty() || name.front() == '/' || name.front() == '\\' ||
        (name.size() > 1 && name[1] == ':'))
        return WithoutDotSteps(name);
    const char last = directory.back();
    return WithoutDotSteps(last == '/' || last == '\\' ? directory + name : directory + "/" + name);
}

}  // namespace

TDwarfLines::TDwarfLines(std::string_view lineSection, std::string_view lineStrings,
                         std::string_view strings) {
    TCursor in(lineSection);
    while (!in.AtEnd()) {
        const std::size_t start = in.Position();
        std::uint64_t length = in.Fixed(4);
        std::size_t lengthSize = 4;
        if (length == 0xffffffffu) {
            length = in.Fixed(8);
            lengthSize = 12;
        }
        if (!in.Ok() || !in.Skip(length)) break;  // a unit cut short ends the table
        ReadUnit(lineSection.substr(start, lengthSize + static_cast<std::size_t>(length)),
                 lineStrings, strings);
    }
    std::sort(FRanges.begin(), FRanges.end(),
              [](const TRange& a, const TRange& b) { return a.Start < b.Start; });
}

void TDwarfLines::ReadUnit(std::string_view unit, std::string_view lineStrings,
                           std::string_view strings) {
    TCursor in(unit);
    bool offset64 = false;
    if (in.Fixed(4) == 0xffffffffu) {
        in.Fixed(8);
        offset64 = true;
    }
    const auto version = static_cast<unsigned>(in.Fixed(2));
    if (version < 2 || version > 5) return;
    if (version >= 5) in.Skip(2);  // address and segment selector sizes
    const std::uint64_t headerLength = in.Fixed(offset64 ? 8 : 4);
    const std::size_t programAt = in.Position() + static_cast<std::size_t>(std::min<std::uint64_t>(
                                                      headerLength, unit.size()));
    const auto minInstructionLength = static_cast<unsigned>(in.Fixed(1));
    if (version >= 4) in.Skip(1);  // operations per instruction: one on the machines we build for
    in.Skip(1);  // whether rows start statements by default: every row counts here
    const auto lineBase = static_cast<std::int8_t>(in.Fixed(1));
    const auto lineRange = static_cast<unsigned>(in.Fixed(1));
    const auto opcodeBase = static_cast<unsigned>(in.Fixed(1));
    if (!in.Ok() || lineRange == 0 || opcodeBase == 0) return;
    std::vector<std::uint8_t> operandCounts(opcodeBase, 0);
    for (unsigned i = 1; i < opcodeBase; ++i)
        operandCounts[i] = static_cast<std::uint8_t>(in.Fixed(1));

    // The unit's file names, full paths where the table gives directories.
    std::vector<std::uint32_t> fileIndex;  // the unit's file number - first number -> FFiles
    unsigned firstFile = 1;
    const auto addFile = [&](const std::string& path) {
        fileIndex.push_back(static_cast<std::uint32_t>(FFiles.size()));
        FFiles.push_back(path);
    };
    if (version >= 5) {
        std::vector<TEntry> directories;
        std::vector<TEntry> files;
        if (!ReadEntries(in, offset64, lineStrings, strings, directories) ||
            !ReadEntries(in, offset64, lineStrings, strings, files))
            return;
        firstFile = 0;
        // Directory 0 is the compilation's own; the others may be relative to it.
        for (std::size_t i = 1; i < directories.size(); ++i)
            directories[i].Path = JoinPath(directories[0].Path, directories[i].Path);
        for (const TEntry& file : files)
            addFile(JoinPath(file.Directory < directories.size() ? directories[file.Directory].Path
                                                                 : std::string(),
                             file.Path));
    } else {
        std::vector<std::string> directories{std::string()};  // 0: the unit's own folder
        for (std::string_view name = in.String(); in.Ok() && !name.empty(); name = in.String())
            directories.emplace_back(name);
        for (std::string_view name = in.String(); in.Ok() && !name.empty(); name = in.String()) {
            const std::uint64_t directory = in.Unsigned();
            in.Unsigned();  // time
            in.Unsigned();  // size
            addFile(
                JoinPath(directory < directories.size() ? directories[directory] : std::string(),
                         std::string(name)));
        }
        if (!in.Ok()) return;
    }

    TCursor program(unit.substr(std::min(programAt, unit.size())));
    struct TState {
        std::uint64_t Address = 0;
        std::uint64_t File = 1;
        std::int64_t Line = 1;
    };
    TState state;
    bool havePrevious = false;
    TState previous;
    // The linker leaves the rows of code it dropped at address 0.
    bool droppedSequence = false;
    const auto emit = [&](bool endSequence) {
        if (!havePrevious) droppedSequence = state.Address == 0;
        // Each row closes the range the row before it opened.
        if (havePrevious && !droppedSequence && state.Address > previous.Address &&
            previous.File >= firstFile && previous.File - firstFile < fileIndex.size() &&
            previous.Line > 0 && previous.Line <= 0xffffffff)
            FRanges.push_back({previous.Address, state.Address,
                               fileIndex[previous.File - firstFile],
                               static_cast<std::uint32_t>(previous.Line)});
        previous = state;
        havePrevious = !endSequence;
        if (endSequence) state = TState();
    };
    const auto advance = [&](std::uint64_t operations) {
        state.Address += operations * minInstructionLength;
    };
    while (!program.AtEnd() && program.Ok()) {
        const auto opcode = static_cast<unsigned>(program.Fixed(1));
        if (opcode >= opcodeBase) {
            const unsigned adjusted = opcode - opcodeBase;
            advance(adjusted / lineRange);
            state.Line += lineBase + static_cast<int>(adjusted % lineRange);
            emit(false);
            continue;
        }
        switch (opcode) {
            case opExtended: {
                const std::uint64_t length = program.Unsigned();
                if (length == 0 || !program.Ok()) break;
                const std::size_t at = program.Position();
                const auto sub = static_cast<unsigned>(program.Fixed(1));
                if (sub == exEndSequence) {
                    emit(true);
                } else if (sub == exSetAddress) {
                    state.Address = program.Fixed(std::min<std::uint64_t>(length - 1, 8));
                }
                // Whatever the operation read, it ends where its length says.
                const std::size_t read = program.Position() - at;
                if (length > read) program.Skip(length - read);
                break;
            }
            case opCopy:
                emit(false);
                break;
            case opAdvancePc:
                advance(program.Unsigned());
                break;
            case opAdvanceLine:
                state.Line += program.Signed();
                break;
            case opSetFile:
                state.File = program.Unsigned();
                break;
            case opConstAddPc:
                advance((255 - opcodeBase) / lineRange);
                break;
            case opFixedAdvancePc:
                state.Address += program.Fixed(2);
                break;
            default:  // operands only
                for (unsigned i = 0; i < operandCounts[opcode]; ++i) program.Unsigned();
                break;
        }
    }
}

std::optional<TSourceLine> TDwarfLines::At(std::uint64_t address) const {
    // Ranges may nest or overlap: the latest start at or before Address
    // that still holds it.
    auto it = std::upper_bound(
        FRanges.begin(), FRanges.end(), address,
        [](std::uint64_t value, const TRange& range) { return value < range.Start; });
    for (int tries = 0; it != FRanges.begin() && tries < 16; ++tries) {
        --it;
        if (address < it->End) return TSourceLine{FFiles[it->File], it->Line};
    }
    return std::nullopt;
}
