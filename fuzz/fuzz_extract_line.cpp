#include "fuzz/FuzzTarget.h"
#include "oma/OMAMach.h"

#include <string>

// Taking every line of the input must consume it entirely, losing nothing but
// line ends, and no line may hold a line end.
void FuzzExtractLine(std::string_view data) {
    std::string buffer(data);
    std::string joined;
    std::size_t rounds = 0;
    while (!buffer.empty()) {
        const std::size_t before = buffer.size();
        const std::string line = ExtractLine(buffer);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(buffer.size() < before);
        FUZZ_CHECK(buffer.empty() || (buffer[0] != '\r' && buffer[0] != '\n'));
        joined += line;
        FUZZ_CHECK(++rounds <= data.size());
    }
    std::string expected;
    for (char c : data)
        if (c != '\r' && c != '\n') expected += c;
    FUZZ_CHECK(joined == expected);
}

TREVALON_FUZZ_ENTRY(FuzzExtractLine)
