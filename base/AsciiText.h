#pragma once

// Text rules shared by everything that reads records (OMA records, settings
// lines): labels compared without regard to ASCII letter case (never the
// locale's), and blanks and control bytes trimmed from the ends of a label or
// a number.

#include <string_view>

// Whether a and b are equal when ASCII letters are compared without regard
// to case; other bytes must be equal.
bool SameTextAscii(std::string_view a, std::string_view b);

// text without the bytes of value 32 or less at either end.
std::string_view TrimBlanks(std::string_view text);
