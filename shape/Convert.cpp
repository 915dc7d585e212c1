#include "shape/Convert.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

EZeroDivide::EZeroDivide() : std::runtime_error("Floating point division by zero") {}

EInvalidOp::EInvalidOp() : std::runtime_error("Invalid floating point operation") {}

namespace {

// Millimetres with two decimals and a "." whatever the process locale: the
// message must not depend on which thread or library called setlocale.
std::string MillimetreText(double hundredths) {
    if (std::isnan(hundredths)) return "nan";
    if (std::isinf(hundredths)) return hundredths > 0 ? "inf" : "-inf";
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, hundredths / 100.0, std::chars_format::fixed, 2);
    if (res.ec != std::errc()) return "?";
    return std::string(buf, res.ptr);
}

}  // namespace

ERadiusRange::ERadiusRange(double hundredths)
    : std::runtime_error("Radius " + MillimetreText(hundredths) +
                         " mm is outside 0 to 99.99 mm"),
      FHundredths(hundredths) {}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    // Only exact steps: value - trunc(value) is exact for every finite double,
    // so a true half is never missed and nothing just below one is taken for
    // it. (std::round is not used: mingw-w64's runtime rounds
    // 0.49999999999999994 up to 1.)
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    const double away = whole + std::copysign(1.0, value);
    if (fraction < 0.5) return whole;
    if (fraction > 0.5) return away;
    return std::fmod(whole, 2.0) == 0.0 ? whole : away;
}

int RoundRadius(double hundredths) {
    const double rounded = RoundHalfEven(hundredths);
    // Written so that NaN fails the test as well.
    if (!(rounded >= 0.0 && rounded <= MaxRadiusHundredths)) throw ERadiusRange(hundredths);
    return static_cast<int>(rounded);
}

void AppendRadiusGroup(std::string& radii, int hundredths) {
    if (hundredths < 0 || hundredths > MaxRadiusHundredths) throw ERadiusRange(hundredths);
    const char group[4] = {
        static_cast<char>('0' + hundredths / 1000),
        static_cast<char>('0' + hundredths / 100 % 10),
        static_cast<char>('0' + hundredths / 10 % 10),
        static_cast<char>('0' + hundredths % 10),
    };
    radii.append(group, 4);
}

std::string FormatRadiusGroup(int hundredths) {
    std::string group;
    AppendRadiusGroup(group, hundredths);
    return group;
}
