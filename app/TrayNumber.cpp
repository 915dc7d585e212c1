#include "app/TrayNumber.h"

std::string TrayNumberFault(std::string_view Tray) {
    for (char C : Tray) {
        const auto Byte = static_cast<unsigned char>(C);
        if (Byte < 0x20 || Byte == 0x7F) return "Tray number may not contain control characters";
    }
    if (Tray.find('"') != std::string_view::npos)
        return "Tray number may not contain a double quote (\")";
    return {};
}
