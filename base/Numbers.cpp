#include "base/Numbers.h"

#include <cstdint>
#include <limits>

EConvertError EConvertError::NotInteger(std::string_view text) {
    return EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

EConvertError EConvertError::NotFloat(std::string_view text) {
    return EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

int StrToInt(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size()) throw EConvertError::NotInteger(text);
    // Accumulate as a negative number so that INT32_MIN needs no special case.
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') throw EConvertError::NotInteger(text);
        value = value * 10 - (c - '0');
        if (value < std::numeric_limits<std::int32_t>::min()) throw EConvertError::NotInteger(text);
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max()) throw EConvertError::NotInteger(text);
    }
    return static_cast<int>(value);
}
