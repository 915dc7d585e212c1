#include "fuzz/FuzzTarget.h"
#include "oma/OmaTrace.h"

#include <string>

void FuzzDecodeFmt3(std::string_view data) {
    std::string radii;
    try {
        radii = DecodeTraceFmt3(data);
    } catch (const EOmaFormat&) {
        return;
    }
    FUZZ_CHECK(radii.size() % 4 == 0 && KeepDigits(radii) == radii);
    // Each point takes at least one payload byte, the first two.
    FUZZ_CHECK(radii.size() / 4 <= OmaUnescape(data).size());
    FUZZ_CHECK(DecodeTraceFmt3(EncodeTraceFmt3(radii)) == radii);
}

TREVALON_FUZZ_ENTRY(FuzzDecodeFmt3)
