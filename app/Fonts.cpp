#include "app/Fonts.h"

#include <QFont>
#include <QStringList>

void AddFontLookAlikes() {
    // Liberation Sans and Arimo have Arial's metrics; DejaVu Sans is on
    // nearly every Linux system.
    const QStringList lookAlikes{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                 QStringLiteral("DejaVu Sans")};
    for (const char* family : {"Arial", "MS Sans Serif", "Microsoft Sans Serif", "MS Shell Dlg",
                               "MS Shell Dlg 2", "Tahoma"})
        QFont::insertSubstitutions(QString::fromLatin1(family), lookAlikes);
}
