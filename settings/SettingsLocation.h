#pragma once

// Where the program keeps its settings file. A portable program (one whose
// folder it may write, or that already has its file there) keeps it beside
// itself, named after it with ".dat"; an installed one, whose folder belongs
// to the system, keeps it in the user's configuration folder.

#include <string>

// The choice itself: ProgramFile's path with ".dat" when that file exists or
// the program's folder is writable, otherwise UserConfigFolder +
// "/trevalon/trevalon.dat".
std::string ChooseSettingsFile(const std::string& programFile, bool besideExists,
                               bool folderWritable, const std::string& userConfigFolder);

// The settings file of ProgramFile on this machine: the user's configuration
// folder is $XDG_CONFIG_HOME (~/.config when unset) on Linux, the local
// application data folder on Windows.
std::string SettingsFileFor(const std::string& programFile);

// Creates the folder that will hold FileName when it is missing, so the file
// can be written; returns false when that fails.
bool MakeSettingsFolder(const std::string& fileName);
