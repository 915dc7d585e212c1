#pragma once

// Judges a tray number before it goes into a packet: a control character
// would break the record framing and a double quote the job record; a
// character the single-byte wire text cannot carry would go out as "?".

#include <QString>
#include <string>
#include <string_view>

// Empty when Tray can be sent; otherwise the text shown to the operator:
// "Tray number may not contain control characters" or
// "Tray number may not contain a double quote (\")".
std::string TrayNumberFault(std::string_view tray);

// The same for the tray field's text, which may hold any character: one
// outside Latin-1 gives "Tray number may only contain Latin-1 characters".
std::string TrayNumberFault(const QString& tray);
