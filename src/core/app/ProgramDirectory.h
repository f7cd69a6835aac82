#pragma once
// Where every file of the tool lives: res/..., orvalog.db, orva.log, orva.lock, dumps.
#include <string>

namespace orva {

// The program directory with a trailing '/'. By default the directory of the running executable;
// ORVA_HOME or `--dir DIR` (see InitProgramDirectory) replace it.
std::string ProgramDirectory();
// Takes `--dir DIR` (or `--dir=DIR`) from the command line, removing it from argv, else ORVA_HOME, else the
// executable's directory. A relative DIR is made absolute, so a later change of working directory does
// not move the tool's files. argv must hold argc + 1 entries (the final null), as main's does.
void InitProgramDirectory(int& argc, char** argv);
// Sets the directory directly (a trailing '/' is added when missing); an empty text goes back to the
// default (ORVA_HOME, else the executable's directory).
void SetProgramDirectory(const std::string& dir);
// Plain concatenation: no separator is added or removed.
std::string JoinPath(const std::string& first, const std::string& second);
// ProgramDirectory() + "res/setting.ini".
std::string SettingsFilePath();

} // namespace orva
