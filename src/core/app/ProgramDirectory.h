#pragma once
// Where every file of the tool lives: res/..., orvalog.db, orva.log, orva.lock, dumps.
//
// The program directory is chosen once at start, first match wins:
//   1. `--dir DIR` on the command line, else the environment's ORVA_HOME;
//   2. the executable's own folder when it holds res/ (a build tree, an unpacked portable folder);
//   3. otherwise the program is installed (/usr/bin/orva): the per-user folder $XDG_DATA_HOME/orva
//      (~/.local/share/orva when XDG_DATA_HOME is unset or not absolute). The first start creates it
//      with mode 0700 and seeds its res/ from the shipped defaults in ../share/orva/res relative to the
//      executable (/usr/share/orva/res for /usr/bin/orva; the same rule holds in an unpacked package
//      tree). Seeding copies only what is missing, so a user's setting.ini, device.ini and login.xml
//      survive every newer package; the shipped skin pictures (res/common/) are not copied but used in
//      place (see SkinDirectory).
// An installed program never writes beside itself: /usr/bin is not the user's.
#include "core/app/Result.h"

#include <string>

namespace orva {

// How the program directory was chosen.
enum class ProgramDirectoryKind { CommandLine, Environment, Executable, PerUser };

struct ProgramDirectoryChoice {
    std::string dir;               // with a trailing '/'
    ProgramDirectoryKind kind = ProgramDirectoryKind::Executable;
    std::string shippedResources;  // PerUser only: the shipped res/ folder with a trailing '/' (it may be absent)
};

// What the choice is made from; the process's own values come from CurrentProgramDirectoryInputs().
struct ProgramDirectoryInputs {
    std::string commandLine;    // the --dir value; empty when none was given
    std::string orvaHome;       // ORVA_HOME
    std::string executableDir;  // the executable's folder with a trailing '/'
    std::string xdgDataHome;    // XDG_DATA_HOME
    std::string home;           // HOME (else the account's home directory)
};

// The rule above, without touching the file system beyond looking for the executable folder's res/.
ProgramDirectoryChoice ChooseProgramDirectory(const ProgramDirectoryInputs& in);
ProgramDirectoryInputs CurrentProgramDirectoryInputs();
// For a PerUser choice: creates the folder and its res/ (mode 0700) when missing and copies every shipped
// file of res/ (not res/common/) that the user's res/ lacks; an existing file is never replaced, not even
// by two programs starting at once. Other choices are left alone. Fails with why when the folder cannot
// be made; a file that cannot be copied fails it too (named in the text), the rest are still copied.
Result<void> PrepareProgramDirectory(const ProgramDirectoryChoice& choice);

// The program directory with a trailing '/'. Until InitProgramDirectory or SetProgramDirectory ran it
// is the rule's choice without `--dir` (nothing is created or seeded then).
std::string ProgramDirectory();
// How the current program directory was chosen (SetProgramDirectory counts as CommandLine).
ProgramDirectoryKind CurrentProgramDirectoryKind();
// Takes `--dir DIR` (or `--dir=DIR`) from the command line, removing it from argv, then chooses by the
// rule above and prepares a per-user folder (a failure is one line on standard error; the program then
// finds no setting.ini and says so). A relative DIR is made absolute, so a later change of working
// directory does not move the tool's files. argv must hold argc + 1 entries (the final null), as main's
// does.
void InitProgramDirectory(int& argc, char** argv);
// Sets the directory directly (a trailing '/' is added when missing); an empty text goes back to the
// default (the rule without `--dir`).
void SetProgramDirectory(const std::string& dir);
// The folder of the skin pictures with a trailing '/': the program directory's res/common/ when it is
// there, else (a per-user folder) the shipped res/common/.
std::string SkinDirectory();
// Plain concatenation: no separator is added or removed.
std::string JoinPath(const std::string& first, const std::string& second);
// ProgramDirectory() + "res/setting.ini".
std::string SettingsFilePath();
// "program directory: DIR", the line --help and --version end with.
std::string ProgramDirectoryLine();
// The rule above as a paragraph for the programs' --help (and so their manual pages), lines of at most
// 79 columns, ending in a newline.
std::string ProgramDirectoryHelp();

} // namespace orva
