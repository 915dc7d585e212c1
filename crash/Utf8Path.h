#pragma once

// File names in this layer's strings are UTF-8, as everywhere in the
// program. A plain std::string path would be read in the C runtime's narrow
// code page on Windows, so a folder name beyond ASCII (a user's name in the
// per-user data folder) would be mangled; on POSIX both are the same bytes.

#include <filesystem>
#include <string>

inline std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
