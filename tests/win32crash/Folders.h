#pragma once

// Temporary folders and the files in them, by their UTF-16 names.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A fresh folder under the temporary directory, named with Suffix, removed
// with its contents.
class TTempFolder {
public:
    explicit TTempFolder(const std::wstring& suffix = L"") {
        static std::atomic<int> counter{0};
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
        const std::filesystem::path path =
            std::filesystem::path(std::wstring(temp, length)) /
            (L"trevalon-crashtest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter) + suffix);
        std::error_code error;
        std::filesystem::remove_all(path, error);
        if (std::filesystem::create_directories(path, error)) FPath = path;
    }
    ~TTempFolder() {
        std::error_code error;
        if (!FPath.empty()) std::filesystem::remove_all(FPath, error);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

// The names in Folder ending in Extension (L".txt"), sorted; none when the folder is missing.
inline std::vector<std::wstring> FilesIn(const std::filesystem::path& folder,
                                         const std::wstring& extension) {
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension().wstring() == extension)
            names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
