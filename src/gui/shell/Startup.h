#pragma once
// The start-up of the GUI: one copy per program directory, the crash handler, the settings, the
// language, then the main window until it closes.

namespace orva {

// The whole program. Takes `--dir DIR` off the command line like orva-cli does, and `--screenshots OUT`
// (renders every window to PNG files in OUT instead of running). Returns the exit code; a second copy
// ends at once with 0 and shows nothing. Reuses an application object that already exists.
int OrvaMain(int argc, char** argv);

// The steps after the application object exists and the instance guard is held: a missing settings
// file ends the process with exit code 0 after "setting.ini is missing!"; otherwise the settings are
// read, the language is selected and the main window runs until it closes.
int RunShell();

} // namespace orva
