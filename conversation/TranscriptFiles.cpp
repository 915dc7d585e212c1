#include "conversation/TranscriptFiles.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/Utf8File.h"

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string TranscriptFileName(std::string_view start, std::string_view kind, std::string_view tray) {
    std::string name;
    for (char c : start)
        if (c != '-' && c != ':' && c != '.') name += c;
    name += "-";
    name += kind;
    if (!tray.empty()) {
        name += "-";
        for (char c : tray) {
            const auto byte = static_cast<unsigned char>(c);
            const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                               (c >= 'a' && c <= 'z') || c == '_' || c == '-';
            name += plain && byte < 0x80 ? c : '_';
        }
    }
    return name + ".jsonl";
}

bool WriteTranscriptFile(const std::string& fileName, std::string_view text, std::string& error) {
    return WriteUtf8File(fileName, text, error);
}

bool StoreTranscript(const std::string& folder, const std::string& fileName, std::string_view text,
                     std::string& error) {
    const fs::path dir = PathOf(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    const fs::path path = dir / PathOf(fileName);
    const std::u8string name = path.u8string();
    if (!WriteTranscriptFile(std::string(name.begin(), name.end()), text, error)) return false;
    // Newest first by name: names start with the UTC start time.
    std::vector<fs::directory_entry> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file(ec) && entry.path().extension() == ".jsonl") files.push_back(entry);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.path().filename() > b.path().filename();
    });
    std::uintmax_t bytes = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uintmax_t size = files[i].file_size(ec);
        bytes += ec ? 0 : size;
        // The transcript just written stays even when it alone is too large.
        if (i > 0 && (i >= KeptTranscripts || bytes > KeptTranscriptBytes))
            fs::remove(files[i].path(), ec);
    }
    return true;
}
