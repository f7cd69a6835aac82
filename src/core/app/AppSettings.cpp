#include "core/app/AppSettings.h"

#include "core/app/IniFile.h"

#include <cmath>

namespace orva {
namespace {

AppSettings g_settings;

} // namespace

float UsableUpgradeInterval(float seconds) {
    if (!std::isfinite(seconds))
        return kDefaultUpgradeInterval;
    return seconds > kMaxUpgradeInterval ? kMaxUpgradeInterval : seconds;
}

bool LoadAppSettings(const std::string& iniPath, AppSettings& out) {
    const auto file = IniFile::load(iniPath);
    if (!file)
        return false;

    // Every value is read as text with its default as text and converted afterwards, so a key that is
    // present but not a number gives 0, as it always has.
    const AppSettings defaults;
    const auto text = [&](const char* key, const std::string& def) { return file->get("Setting", key, def); };
    const auto number = [&](const char* key, int def) { return LeadingInt(text(key, std::to_string(def))); };

    AppSettings s;
    s.Language = text("Language", defaults.Language);
    s.Version = text("Version", defaults.Version);
    s.LoginURL = text("LoginURL", defaults.LoginURL);
    // Asked for with a trailing blank, which the trimming lookup ignores.
    s.ReportURL = text("ReportURL ", defaults.ReportURL);
    s.RunNet = number("RunNet", defaults.RunNet);
    s.waittime = number("waittime", defaults.waittime);
    s.updatelistentime = number("updatelistentime", defaults.updatelistentime);
    s.resetlistentime = number("resetlistentime", defaults.resetlistentime);
    s.rollcalltime = number("rollcalltime", defaults.rollcalltime);
    s.upgradeinterval = UsableUpgradeInterval(LeadingFloat(text("upgradeinterval", "0.005")));
    s.MaintenanceAddress = text("MaintenanceAddress", defaults.MaintenanceAddress);
    s.UpgradeAddress = text("UpgradeAddress", defaults.UpgradeAddress);
    s.HttpTimeout = number("HttpTimeout", defaults.HttpTimeout);
    s.TlsVerify = number("TlsVerify", defaults.TlsVerify);
    s.CaFile = text("CaFile", defaults.CaFile);
    out = std::move(s);
    return true;
}

const AppSettings& Settings() {
    return g_settings;
}

void SetSettings(const AppSettings& settings) {
    g_settings = settings;
}

} // namespace orva
