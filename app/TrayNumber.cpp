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

std::string TrayNumberFault(const QString& tray) {
    for (const QChar c : tray)
        if (c.unicode() > 0xFF) return "Tray number may only contain Latin-1 characters";
    const std::string bytes = tray.toLatin1().toStdString();
    return TrayNumberFault(std::string_view(bytes));
}
