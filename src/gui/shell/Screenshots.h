#pragma once
// Renders the main window with each of its pages, the diagnosis page in the middle of a run, and the
// login dialog, and the log query page with a record's details, to PNG files, in the language the settings select. No
// login runs; the run goes to the gateway at the MaintenanceAddress setting, which must be on loopback (a simulator
// answers there).
#include <string>

namespace orva {

// Writes <lang>-main-<page>.png, <lang>-main-diagnosis-midrun.png, <lang>-log-query-details.png,
// <lang>-statistics.png (the figures of a sample store written into the program directory) and
// <lang>-login.png into outDir
// (created when missing); <lang> is "zh" or "en". False when a picture could not be made or written.
bool RenderScreenshots(const std::string& outDir);

} // namespace orva
