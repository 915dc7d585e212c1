#include "fuzz/FuzzTarget.h"
#include "oma/OMAMach.h"

#include <string>

// The rendered text is printable ASCII apart from the CR LF breaks, each of
// which follows a terminator name.
void FuzzRenderControlChars(std::string_view data) {
    const std::string text = RenderControlChars(data);
    FUZZ_CHECK(text.size() >= data.size());
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
            FUZZ_CHECK(i > 0 && text[i - 1] == '>');
            ++breaks;
            ++i;
            continue;
        }
        FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
    }
    std::size_t terminators = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\n' || data[i] == '\r') ++terminators;
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    }
    FUZZ_CHECK(breaks == terminators);
}

TREVALON_FUZZ_ENTRY(FuzzRenderControlChars)
