#pragma once
// Installs the crash handler for the GUI: application name "orva", no messages about the handler's
// own set-up.

namespace orva {

void InstallShellCrashHandler();

} // namespace orva
