#include "oma/JobRecords.h"

namespace {

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

}  // namespace

void TRecordBuilder::Set(std::string_view label, std::string_view value) {
    TNameLines& lines = FByName[UpperAscii(label)];
    if (value.empty()) {
        if (lines.First == None) return;
        FAlive[lines.First] = false;
        lines.First = FNextOfName[lines.First];
        if (lines.First == None) lines.Last = None;
        return;
    }
    std::string line = std::string(label) + "=" + std::string(value);
    if (lines.First != None) {
        FLines[lines.First] = std::move(line);
        return;
    }
    // The new line is found by its own name, which stops at its first "=".
    const std::size_t equals = line.find('=');
    TNameLines& own = FByName[UpperAscii(std::string_view(line).substr(0, equals))];
    const std::size_t index = FLines.size();
    if (own.Last == None)
        own.First = index;
    else
        FNextOfName[own.Last] = index;
    own.Last = index;
    FLines.push_back(std::move(line));
    FAlive.push_back(true);
    FNextOfName.push_back(None);
}

std::vector<std::string> TRecordBuilder::Take() {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < FLines.size(); ++i)
        if (FAlive[i]) lines.push_back(std::move(FLines[i]));
    FLines.clear();
    FAlive.clear();
    FNextOfName.clear();
    FByName.clear();
    return lines;
}
