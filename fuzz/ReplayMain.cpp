// Runs fuzz bodies over stored inputs, as an ordinary program:
//   fuzz_replay <target> <file or directory>...
// Every file found is one input; the program fails when a body aborts or
// throws, or when no input was found.

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"

namespace {

struct TTarget {
    const char* Name;
    void (*Body)(std::string_view);
};

constexpr TTarget Targets[] = {
    {"decode_fmt2", FuzzDecodeFmt2},   {"decode_fmt3", FuzzDecodeFmt3},
    {"decode_fmt4", FuzzDecodeFmt4},   {"oma_unescape", FuzzOmaUnescape},
    {"extract_line", FuzzExtractLine}, {"render_control_chars", FuzzRenderControlChars},
    {"job_file", FuzzJobFile},         {"request_init", FuzzRequestInit},
    {"store_replies", FuzzStoreReplies}, {"job_reply", FuzzJobReply},
    {"job_data", FuzzJobData},         {"settings_text", FuzzSettingsText},
    {"conversation", FuzzConversation}, {"transcript", FuzzTranscript},
    {"telnet", FuzzTelnet},
};

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::directory_iterator(path))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(path)) {
        files.push_back(path);
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: fuzz_replay <target> <file or directory>...\n";
        return 2;
    }
    const std::string name = argv[1];
    const auto target = std::find_if(std::begin(Targets), std::end(Targets),
                                     [&](const TTarget& t) { return name == t.Name; });
    if (target == std::end(Targets)) {
        std::cerr << "unknown target " << name << "\n";
        return 2;
    }
    std::size_t count = 0;
    for (int i = 2; i < argc; ++i) {
        for (const auto& file : Inputs(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::string data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            try {
                target->Body(data);
            } catch (const std::exception& e) {
                std::cerr << file.string() << ": unexpected exception: " << e.what() << "\n";
                return 1;
            }
            ++count;
        }
    }
    std::cout << name << ": " << count << " inputs replayed\n";
    return count > 0 ? 0 : 1;
}
