#pragma once
// Renders the main window with each of its pages, and the login dialog, to PNG files, in the language
// the settings select. Nothing is sent anywhere: no login runs.
#include <string>

namespace orva {

// Writes <lang>-main-<page>.png and <lang>-login.png into outDir (created when missing); <lang> is
// "zh" or "en". False when a file could not be written.
bool RenderScreenshots(const std::string& outDir);

} // namespace orva
