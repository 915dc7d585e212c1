#pragma once

// Temporary folders and the files in them, for the crash report tests.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A fresh folder under the temporary directory, removed with its contents.
class TTempFolder {
public:
    TTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trevalon-crashtest-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code error;
        if (!FPath.empty()) std::filesystem::remove_all(FPath, error);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// The names in Folder ending in Extension (".txt"), sorted; none when the folder is missing.
inline std::vector<std::string> FilesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

// The number of the first line of File that contains Marker; 0 when none does.
inline unsigned LineWith(const std::string& file, const std::string& marker) {
    std::istringstream text(ReadWholeFile(file));
    std::string line;
    for (unsigned number = 1; std::getline(text, line); ++number)
        if (line.find(marker) != std::string::npos) return number;
    return 0;
}
