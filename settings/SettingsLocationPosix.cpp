#include "settings/SettingsLocation.h"

// Linux installs programs into folders their users may not write.
bool IsInstalledProgramsFolder(const std::string&) {
    return false;
}
