#include "app/TrayNumber.h"

std::string TrayNumberFault(std::string_view tray) {
    for (char c : tray) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "Tray number may not contain control characters";
    }
    if (tray.find('"') != std::string_view::npos)
        return "Tray number may not contain a double quote (\")";
    return {};
}
