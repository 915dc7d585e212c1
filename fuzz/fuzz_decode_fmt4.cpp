#include "fuzz/FuzzTarget.h"
#include "oma/OmaTrace.h"

#include <string>

// The first two bytes choose the point count, a little beyond the codec's
// limit so that the refusal is exercised too; the rest is the payload.
void FuzzDecodeFmt4(std::string_view data) {
    if (data.size() < 2) return;
    const auto lo = static_cast<unsigned char>(data[0]);
    const auto hi = static_cast<unsigned char>(data[1]);
    const int count = static_cast<int>((lo | (hi << 8)) % 4200);
    const std::string_view payload = data.substr(2);
    std::string radii;
    try {
        radii = DecodeTraceFmt4(payload, count);
    } catch (const EOmaFormat&) {
        return;
    }
    FUZZ_CHECK(count <= MaxTracePoints);
    FUZZ_CHECK(OmaUnescape(payload).size() <= MaxFmt4Payload);
    FUZZ_CHECK(radii.size() == static_cast<std::size_t>(count) * 4);
    FUZZ_CHECK(KeepDigits(radii) == radii);
    if (count == 0) return;
    const std::string again = EncodeTraceFmt4(radii);
    if (OmaUnescape(again).size() <= MaxFmt4Payload)
        FUZZ_CHECK(DecodeTraceFmt4(again, count) == radii);
}

TREVALON_FUZZ_ENTRY(FuzzDecodeFmt4)
