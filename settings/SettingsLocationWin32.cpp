#include <QString>

#include "settings/SettingsLocation.h"

// The Program Files folders as the system names them for this process.
bool IsInstalledProgramsFolder(const std::string& folder) {
    std::vector<std::string> programs;
    for (const char* name : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"})
        programs.push_back(qEnvironmentVariable(name).toStdString());
    return PathInFolders(folder, programs);
}
