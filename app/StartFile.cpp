#include "app/StartFile.h"

#include <QMetaObject>
#include <QPointer>

#include "app/Unit1.h"

QString StartFileArgument(const QStringList& arguments) {
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QLatin1String("--")) {
            options = false;
            continue;
        }
        // A lone "-" is not an option, but names no file we could read either.
        if (options && argument.startsWith(QLatin1Char('-'))) continue;
        if (!argument.isEmpty()) return argument;
    }
    return {};
}

void OpenStartFile(TForm1& form, const QStringList& arguments) {
    const QString fileName = StartFileArgument(arguments);
    if (fileName.isEmpty()) return;
    // Queued behind the window's own start-up messages, in the order posted.
    QMetaObject::invokeMethod(
        &form,
        [window = QPointer<TForm1>(&form), fileName] {
            if (window) window->OpenJobFile(fileName);
        },
        Qt::QueuedConnection);
}
