#include "app/ProgramFiles.h"

#include <QFileInfo>

std::vector<std::string> HelpFileCandidates(const std::string& programFile) {
    const QFileInfo program(QString::fromStdString(programFile));
    const QString name = program.completeBaseName() + QStringLiteral(".html");
    const QString folder = program.absolutePath();
    return {(folder + u'/' + name).toStdString(),
            QFileInfo(folder + QStringLiteral("/../share/trevalon/") + name)
                .absoluteFilePath()
                .toStdString()};
}
