// Shapes and files for the job file tests, made independently of the code
// under test.
#pragma once

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

inline std::filesystem::path SamplePath(const char* name) {
    return std::filesystem::path(TREVALON_SAMPLES_DIR) / name;
}

inline std::string FormatGroup(int value) {
    char group[8];
    std::snprintf(group, sizeof group, "%04d", value);
    return group;
}

// A lens-like shape of n points: about 48 by 38 mm, not symmetric, so a
// rotation or a swapped half would show.
inline std::string TestRadii(int n) {
    std::string radii;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        radii += FormatGroup(static_cast<int>(
            std::lround(2150 + 260 * std::cos(2 * a) + 90 * std::sin(a) + 40 * std::cos(3 * a))));
    }
    return radii;
}

// Format 1 records of ten values each, lines ended by LF, as the sample files are.
inline std::string Fmt1Records(const std::string& radii) {
    std::string text;
    const std::size_t n = radii.size() / 4;
    for (std::size_t i = 0; i < n; i += 10) {
        text += "R=";
        for (std::size_t j = i; j < n && j < i + 10; ++j) {
            if (j > i) text += ';';
            text += radii.substr(4 * j, 4);
        }
        text += "\n";
    }
    return text;
}

inline std::string ReadWholeFile(const std::filesystem::path& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::filesystem::path& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}
