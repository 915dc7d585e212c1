#pragma once

// Judges the tray field's text before it goes into a packet: besides what
// would break the packet (oma/HostPackets.h), a character the single-byte
// wire text cannot carry would go out as "?".

#include <QString>
#include <string>

#include "oma/HostPackets.h"

// Empty when the tray field's text can be sent; one character outside
// Latin-1 gives "Tray number may only contain Latin-1 characters".
std::string TrayNumberFault(const QString& tray);
