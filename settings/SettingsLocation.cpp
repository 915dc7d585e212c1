#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "settings/SettingsList.h"

std::string ChooseSettingsFile(const std::string& programFile, bool besideExists,
                               bool folderWritable, const std::string& userConfigFolder) {
    if (besideExists || folderWritable) return ChangeFileExt(programFile, ".dat");
    std::string folder = userConfigFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "trevalon/trevalon.dat";
}

std::string SettingsFileFor(const std::string& programFile) {
    const std::string beside = ChangeFileExt(programFile, ".dat");
    const QFileInfo besideFile(QString::fromStdString(beside));
    const QFileInfo folder(besideFile.absolutePath());
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return ChooseSettingsFile(programFile, besideFile.exists(),
                              folder.isDir() && folder.isWritable(), config.toStdString());
}

bool MakeSettingsFolder(const std::string& fileName) {
    return QDir().mkpath(QFileInfo(QString::fromStdString(fileName)).absolutePath());
}
