#include "fuzz/FuzzTarget.h"
#include "oma/OmaTrace.h"

#include <string>

void FuzzOmaUnescape(std::string_view data) {
    const std::string bytes = OmaUnescape(data);
    FUZZ_CHECK(bytes.size() <= data.size());
    FUZZ_CHECK(data.find('\x1B') != std::string_view::npos || bytes == data);
    const std::string escaped = OmaEscape(bytes);
    FUZZ_CHECK(OmaUnescape(escaped) == bytes);
    FUZZ_CHECK(escaped.find_first_of(std::string_view("\x06\n\r\x11\x13\x15\x1A\x1C\x1D\x1E",
                                                      10)) == std::string::npos);
}

TREVALON_FUZZ_ENTRY(FuzzOmaUnescape)
