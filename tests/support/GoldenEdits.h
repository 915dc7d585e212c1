#pragma once

// The editor's changes with their expected figures, computed independently
// of the program by tests/data/edits/make_edits.py: one row per change of a
// sample, for the window, trevalon-cli edit and the saved file alike.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TGoldenEdit {
    std::string Sample;  // a file of tests/data/oma-samples
    bool Circ = false;   // the circumference edit, else the boxes
    bool LockB = false;
    std::string A, B, CircValue;  // typed; empty: the edit keeps what it shows
    std::string BoxA, BoxB, Circumference;  // expected, two decimals
};

inline std::vector<TGoldenEdit> GoldenEdits() {
    const std::filesystem::path file =
        std::filesystem::path(TREVALON_SAMPLES_DIR).parent_path() / "edits" / "edits.tsv";
    std::ifstream in(file);
    std::vector<TGoldenEdit> rows;
    std::string line;
    const auto typed = [](const std::string& value) { return value == "-" ? std::string() : value; };
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string field;
        while (std::getline(fields, field, '\t')) f.push_back(field);
        if (f.size() != 9) continue;
        rows.push_back({f[0], f[1] == "circ", f[2] == "Y", typed(f[3]), typed(f[4]), typed(f[5]),
                        f[6], f[7], f[8]});
    }
    return rows;
}
