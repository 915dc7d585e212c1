#include "fuzz/FuzzTarget.h"
#include "oma/OmaTrace.h"

#include <string>

namespace {

bool IsRadii(const std::string& radii) {
    return radii.size() % 4 == 0 && KeepDigits(radii) == radii;
}

}  // namespace

void FuzzDecodeFmt2(std::string_view data) {
    std::string radii;
    try {
        radii = DecodeTraceFmt2(data);
    } catch (const EOmaFormat&) {
        return;
    }
    FUZZ_CHECK(IsRadii(radii));
    FUZZ_CHECK(radii.size() / 4 == OmaUnescape(data).size() / 2);
    FUZZ_CHECK(DecodeTraceFmt2(EncodeTraceFmt2(radii)) == radii);
}

TREVALON_FUZZ_ENTRY(FuzzDecodeFmt2)
