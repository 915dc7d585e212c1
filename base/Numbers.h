#pragma once

// Text-to-number conversions shared by every layer, with the failure texts
// operators know from the rest of the program: what() is that text.

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

// Optional sign, then decimal digits only, within 32 bits; anything else (blanks included) throws
// EConvertError::NotInteger(text).
int StrToInt(std::string_view text);
