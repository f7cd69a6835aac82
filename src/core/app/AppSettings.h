#pragma once
// The settings of res/setting.ini, section "Setting". Read once at start-up, read-only afterwards.
#include <string>

namespace orva {

// The pause between image datagrams, in seconds, when the settings file does not give a usable one.
inline constexpr float kDefaultUpgradeInterval = 0.005f;
// The longest pause a setting can ask for. Five milliseconds is the norm and slow segments want tens
// of them; beyond ten seconds per 1000-byte datagram no transfer would ever end, so a larger value is a
// typing error. It also keeps the interval far inside what the pacer's nanosecond count can hold.
inline constexpr float kMaxUpgradeInterval = 10.0f;

// upgradeinterval as the transfer can use it: an infinity or NaN ("inf", "nan", or a number beyond the
// float range) is refused and gives the default; a finite value above the maximum gives the maximum.
// Anything else, 0 and negative values included, is kept (those mean no pause).
float UsableUpgradeInterval(float seconds);

struct AppSettings {
    std::string Language = "Chinese";
    std::string Version = ORVA_VERSION;
    std::string LoginURL;
    std::string ReportURL;
    int RunNet = 1;
    int waittime = 240;
    int updatelistentime = 30;
    int resetlistentime = 15;
    // Seconds the roll-call before a restore or an image transfer listens; 0: no roll-call. The
    // maintenance sessions bound it (UsableRollCallTime).
    int rollcalltime = 2;
    float upgradeinterval = kDefaultUpgradeInterval;
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
