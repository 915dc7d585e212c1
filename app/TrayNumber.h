#pragma once

// Judges a tray number before it goes into a packet: a control character
// would break the record framing and a double quote the job record.

#include <string>
#include <string_view>

// Empty when Tray can be sent; otherwise the text shown to the operator:
// "Tray number may not contain control characters" or
// "Tray number may not contain a double quote (\")".
std::string TrayNumberFault(std::string_view tray);
