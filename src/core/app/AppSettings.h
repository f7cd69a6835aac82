#pragma once
// The settings of res/setting.ini, section "Setting". Read once at start-up, read-only afterwards.
#include <string>

namespace orva {

struct AppSettings {
    std::string Language = "Chinese";
    std::string Version = ORVA_VERSION;
    std::string LoginURL;
    std::string ReportURL;
    int RunNet = 1;
    int waittime = 240;
    int updatelistentime = 30;
    int resetlistentime = 15;
    float upgradeinterval = 0.005f;
    // Site settings of this platform.
    std::string MaintenanceAddress = "192.168.1.1";
    std::string UpgradeAddress = "192.168.1.255";
    int HttpTimeout = 30;
    int TlsVerify = 1;
    std::string CaFile;
};

// Reads the file into `out` (missing keys keep their defaults). False when the file does not exist.
bool LoadAppSettings(const std::string& iniPath, AppSettings& out);

// The process-wide settings, as start-up left them.
const AppSettings& Settings();
void SetSettings(const AppSettings& settings);

} // namespace orva
