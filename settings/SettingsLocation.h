#pragma once

// Where the program keeps its settings file. A portable program (one whose
// folder it may write, or that already has its file there) keeps it beside
// itself, named after it with ".dat"; an installed one, whose folder belongs
// to the system, keeps it in the user's configuration folder.

#include <string>
#include <vector>

// The choice itself: ProgramFile's path with ".dat" when that file exists or
// the program's folder is writable (and not an installed programs' folder),
// otherwise UserConfigFolder +
// "/trevalon/trevalon.dat".
std::string ChooseSettingsFile(const std::string& programFile, bool besideExists,
                               bool folderWritable, const std::string& userConfigFolder);

// Whether Path lies in one of Folders (or is one), compared as Windows
// compares names: without regard to letter case, "/" and "\" alike.
bool PathInFolders(const std::string& path, const std::vector<std::string>& folders);

// Whether Folder belongs to the system's installed programs (Windows: under
// Program Files, which only the installer should write even where the
// system lets the program write it, as Wine does). Never on Linux, where
// the folder's permissions tell.
bool IsInstalledProgramsFolder(const std::string& folder);

// The settings file of ProgramFile on this machine: the user's configuration
// folder is $XDG_CONFIG_HOME (~/.config when unset) on Linux, the local
// application data folder on Windows.
std::string SettingsFileFor(const std::string& programFile);

// Creates the folder that will hold FileName when it is missing, so the file
// can be written; returns false when that fails.
bool MakeSettingsFolder(const std::string& fileName);
