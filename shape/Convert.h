#pragma once

// Number conversions shared by every layer, with the failure texts operators
// know from the rest of the program. what() of each exception is that text.

#include <stdexcept>
#include <string>
#include <string_view>

// A text that is not a number of the expected kind.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // "'<text>' is not a valid integer value".
    static EConvertError NotInteger(std::string_view text);
    // "'<text>' is not a valid floating point value".
    static EConvertError NotFloat(std::string_view text);
};

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

// Optional sign, then decimal digits only, within 32 bits; anything else (blanks included) throws
// EConvertError::NotInteger(text).
int StrToInt(std::string_view text);

// Nearest integer, an exact half to the even neighbour, whatever the FPU rounding mode.
double RoundHalfEven(double value);

// RoundHalfEven(hundredths) as a group value; throws ERadiusRange outside 0..9999.
int RoundRadius(double hundredths);

// The "%.4d" group of a radius; throws ERadiusRange outside 0..9999 rather than widen the group.
std::string FormatRadiusGroup(int hundredths);

// FormatRadiusGroup appended to radii, without a temporary string.
void AppendRadiusGroup(std::string& radii, int hundredths);
