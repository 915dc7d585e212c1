#pragma once

// The radius arithmetic's conversions and failures, with the texts operators
// know from the rest of the program. what() of each exception is that text.
// The text-to-number conversions every layer shares are in base/Numbers.h.

#include <stdexcept>
#include <string>
#include <string_view>

#include "base/Numbers.h"

// A nonzero value divided by zero: "Floating point division by zero".
class EZeroDivide : public std::runtime_error {
public:
    EZeroDivide();
};

// An undefined floating-point result such as 0/0: "Invalid floating point operation".
class EInvalidOp : public std::runtime_error {
public:
    EInvalidOp();
};

// A radius that does not fit a four-digit group (0 to 9999 hundredths); the text names it in mm.
class ERadiusRange : public std::runtime_error {
public:
    explicit ERadiusRange(double hundredths);
    double Hundredths() const noexcept { return FHundredths; }

private:
    double FHundredths;
};

// Largest radius a group can hold, in hundredths of a millimetre.
inline constexpr int MaxRadiusHundredths = 9999;

// Nearest integer, an exact half to the even neighbour, whatever the FPU rounding mode.
double RoundHalfEven(double value);

// RoundHalfEven(hundredths) as a group value; throws ERadiusRange outside 0..9999.
int RoundRadius(double hundredths);

// The "%.4d" group of a radius; throws ERadiusRange outside 0..9999 rather than widen the group.
std::string FormatRadiusGroup(int hundredths);

// FormatRadiusGroup appended to radii, without a temporary string.
void AppendRadiusGroup(std::string& radii, int hundredths);
