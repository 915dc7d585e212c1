#include "tools/HostReplay.h"

#include <algorithm>

#include "oma/OMAMach.h"

std::string TDivergence::Report() const {
    // One line: the rendered bytes keep their names (<cr>), not their line breaks.
    const auto oneLine = [](std::string text) {
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        return text;
    };
    std::string report = "client byte " + std::to_string(Offset) + ": expected ";
    report += Expected.empty() ? std::string("nothing more")
                               : "\"" + oneLine(RenderControlChars(Expected)) + "\"";
    report += ", received \"" + oneLine(RenderControlChars(Received)) + "\"";
    return report;
}

THostReplay::THostReplay(const TTranscript& transcript, bool fast) : FFast(fast) {
    for (const TTranscriptEntry& entry : transcript.Entries) {
        if (entry.Kind == TTranscriptEntry::teEvent) continue;
        FChunks.push_back({entry.Kind == TTranscriptEntry::teToHost, entry.Ms, entry.Data});
    }
}

std::vector<THostChunk> THostReplay::Due() {
    std::vector<THostChunk> due;
    while (FEntry < FChunks.size() && !FChunks[FEntry].FromClient) {
        const TChunk& chunk = FChunks[FEntry++];
        const std::uint32_t gap = chunk.Ms > FLastMs ? chunk.Ms - FLastMs : 0;
        due.push_back({FFast ? 0u : gap, chunk.Bytes});
        FLastMs = chunk.Ms;
    }
    return due;
}

std::vector<THostChunk> THostReplay::Opening() {
    return Due();
}

std::vector<THostChunk> THostReplay::Feed(std::string_view bytes) {
    std::vector<THostChunk> due;
    if (FDivergence) return due;
    while (!bytes.empty()) {
        if (FEntry >= FChunks.size()) {
            FDivergence = TDivergence{FClientOffset, {}, std::string(bytes.substr(0, 32))};
            return due;
        }
        const TChunk& chunk = FChunks[FEntry];
        const std::size_t count = std::min(bytes.size(), chunk.Bytes.size() - FOffset);
        const std::string_view expected = std::string_view(chunk.Bytes).substr(FOffset, count);
        const auto [at, from] = std::mismatch(expected.begin(), expected.end(), bytes.begin());
        if (at != expected.end()) {
            const auto skip = static_cast<std::size_t>(at - expected.begin());
            std::string rest = chunk.Bytes.substr(FOffset + skip);
            for (std::size_t next = FEntry + 1; next < FChunks.size() && FChunks[next].FromClient && rest.size() < 32;
                 ++next)
                rest += FChunks[next].Bytes;
            FDivergence = TDivergence{FClientOffset + skip, rest.substr(0, 32),
                                      std::string(bytes.substr(skip, 32))};
            return due;
        }
        FClientOffset += count;
        FOffset += count;
        bytes.remove_prefix(count);
        if (FOffset == chunk.Bytes.size()) {
            FLastMs = chunk.Ms;
            ++FEntry;
            FOffset = 0;
            for (THostChunk& next : Due()) due.push_back(std::move(next));
        }
    }
    return due;
}
