#include "app/TrayNumber.h"

std::string TrayNumberFault(const QString& tray) {
    for (const QChar c : tray)
        if (c.unicode() > 0xFF) return "Tray number may only contain Latin-1 characters";
    const std::string bytes = tray.toLatin1().toStdString();
    return TrayNumberFault(std::string_view(bytes));
}
