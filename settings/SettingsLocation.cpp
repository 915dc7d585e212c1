#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/NameValueList.h"

std::string ChooseSettingsFile(const std::string& programFile, bool besideExists,
                               bool folderWritable, const std::string& userConfigFolder) {
    if (besideExists || folderWritable) return ChangeFileExt(programFile, ".dat");
    std::string folder = userConfigFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "trevalon/trevalon.dat";
}

bool PathInFolders(const std::string& path, const std::vector<std::string>& folders) {
    const auto normal = [](const std::string& name) {
        QString text = QString::fromStdString(name).replace(u'\\', u'/').toCaseFolded();
        while (text.endsWith(u'/')) text.chop(1);
        return text;
    };
    const QString inside = normal(path);
    for (const std::string& folder : folders) {
        const QString outer = normal(folder);
        if (outer.isEmpty()) continue;
        if (inside == outer || inside.startsWith(outer + u'/')) return true;
    }
    return false;
}

std::string SettingsFileFor(const std::string& programFile) {
    const std::string beside = ChangeFileExt(programFile, ".dat");
    const QFileInfo besideFile(QString::fromStdString(beside));
    const QFileInfo folder(besideFile.absolutePath());
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return ChooseSettingsFile(programFile, besideFile.exists(),
                              folder.isDir() && folder.isWritable() &&
                                  !IsInstalledProgramsFolder(folder.absoluteFilePath().toStdString()),
                              config.toStdString());
}

bool MakeSettingsFolder(const std::string& fileName) {
    return QDir().mkpath(QFileInfo(QString::fromStdString(fileName)).absolutePath());
}
