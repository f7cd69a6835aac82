#pragma once
// The loopback subnets of the test suites, all in one place. A test binds its gateways to
// 127.0.N.1 and its segment to 127.0.N.255 on the fixed gateway ports (7998, 7999, 50003, ...), so two
// tests on one subnet cannot run at the same time. The cases of one suite run one at a time (ctest
// RESOURCE_LOCK per suite), different suites run side by side: two suites must never claim one subnet.
// Files of one suite may share, but take distinct ones where they can.
//
// A test file takes its subnet from here and writes no number of its own: a new test adds a line here
// (a free N) and to kSubnetClaims below. The static_assert at the end refuses a subnet claimed by two
// suites; tests/support/check_subnets.py (a ctest test) refuses a literal subnet in a test file and a
// constant left out of kSubnetClaims. 127.0.0.0/24 is not a test subnet: HTTP services listen on
// 127.0.0.1.
#include <string_view>

namespace orva::test::subnets {

// test_app: only the settings file, nothing is sent.
namespace app {
inline constexpr int kSettings = 30;
}

// test_protocol
namespace protocol {
inline constexpr int kWire = 20;
inline constexpr int kTransact = 21;
inline constexpr int kSendAndListen = 22;
inline constexpr int kCommands = 23;
inline constexpr int kTargets = 24;
} // namespace protocol

// test_sim: one subnet per simulator test, so a stray reply of one is never read by the next.
namespace sim {
inline constexpr int kEveryCommand = 40;
inline constexpr int kProgram = 41;
inline constexpr int kBroadcastRestore = 42;
inline constexpr int kUpgradeQuery = 43;
inline constexpr int kSilentAnswers = 44;
inline constexpr int kDelayedAnswer = 45;
inline constexpr int kOverrides = 46;
inline constexpr int kJournal = 47;
inline constexpr int kImagePort = 48;
inline constexpr int kSecondSimulator = 50;
inline constexpr int kUnitSwap = 63;
inline constexpr int kUnitOverride = 64;
} // namespace sim

// test_upload: only the settings file; the reporting services listen on 127.0.0.1.
namespace upload {
inline constexpr int kSettings = 61;
}

// test_diagnosis_session
namespace session {
inline constexpr int kSession = 110;
inline constexpr int kStoreFirst = 210;
inline constexpr int kFaults = 91;
} // namespace session

// test_cli
namespace cli {
inline constexpr int kDiagnose = 112;
inline constexpr int kNoGateway = 113; // no simulator ever listens here
inline constexpr int kRestore = 114;
inline constexpr int kUpgrade = 115;
inline constexpr int kMissingImage = 116;
inline constexpr int kLogs = 117;
inline constexpr int kCancel = 118;
inline constexpr int kCrowd = 203;
inline constexpr int kHostileText = 205;
inline constexpr int kReport = 211;
inline constexpr int kCommandLine = 119;
inline constexpr int kTerminal = 120;
inline constexpr int kRollCallUpgrade = 74;
inline constexpr int kRollCallRestore = 75;
inline constexpr int kStats = 94;
inline constexpr int kStation = 60;
inline constexpr int kStationHostile = 62;
} // namespace cli

// test_maintenance
namespace maintenance {
inline constexpr int kTransfer2500 = 130;
inline constexpr int kTransfer2000 = 131;
inline constexpr int kTransfer500 = 132;
inline constexpr int kTransfer1 = 133;
inline constexpr int kUpgradeCancel = 134;
inline constexpr int kThreeGatewaysStatus = 135;
inline constexpr int kMissingImage = 136;
inline constexpr int kDirectoryImage = 137;
inline constexpr int kRestoreTwoGateways = 140;
inline constexpr int kRestoreNoListen = 141;
inline constexpr int kSimUpgradeWhole = 150;
inline constexpr int kSimUpgradeMiddleLost = 151;
inline constexpr int kSimUpgradeLastLost = 152;
inline constexpr int kSimUpgradeCancelled = 153;
inline constexpr int kSimRestore = 154;
inline constexpr int kRestoreRepeatedReplies = 200;
inline constexpr int kRestoreListenTime = 201;
inline constexpr int kRepeatedStatusReplies = 202;
inline constexpr int kImageFile = 206;
inline constexpr int kSideBySide = 244;
inline constexpr int kRollCallUpgrade = 70;
inline constexpr int kRollCallRestore = 71;
inline constexpr int kRollCallHostile = 72;
} // namespace maintenance

// test_gui_shell
namespace gui_shell {
inline constexpr int kMainWindow = 160;
inline constexpr int kStartup = 162;
inline constexpr int kClosing = 216;
inline constexpr int kAbout = 235;
inline constexpr int kUnknownLanguage = 241;
inline constexpr int kMidRun = 242;
} // namespace gui_shell

// test_gui_login
namespace gui_login {
inline constexpr int kLogin = 161;
}

// test_gui_records: only the settings file, nothing is sent.
namespace gui_records {
inline constexpr int kQuery = 167;
inline constexpr int kExport = 168;
inline constexpr int kExports = 236;
inline constexpr int kStatistics = 93;
inline constexpr int kDetails = 90;
} // namespace gui_records

// test_gui_diagnosis: the page's cases take turns on five subnets.
namespace gui_diagnosis {
inline constexpr int kPageA = 170;
inline constexpr int kPageB = 171;
inline constexpr int kPageC = 172;
inline constexpr int kPageD = 173;
inline constexpr int kPageE = 174;
inline constexpr int kFinalReport = 212;
inline constexpr int kDslPrompts = 230;
inline constexpr int kRunProgress = 231;
inline constexpr int kAddressEntry = 232;
inline constexpr int kExportStart = 233;
} // namespace gui_diagnosis

// test_gui_maintenance
namespace gui_maintenance {
inline constexpr int kRestore = 175;
inline constexpr int kUpgrade = 176;
inline constexpr int kCancel = 177;
inline constexpr int kIdle = 178;
inline constexpr int kCaptions = 179;
inline constexpr int kNotAnImage = 207;
inline constexpr int kQueryAgain = 73;
} // namespace gui_maintenance

// test_gui_template: only the settings file and an in-process simulator.
namespace gui_template {
inline constexpr int kTemplate = 208;
}

// test_faults_kill, test_faults_dbfile, test_faults_logfile, test_faults_resfiles
namespace faults_kill {
inline constexpr int kKilled = 180;
}
namespace faults_dbfile {
inline constexpr int kDatabaseFile = 181;
}
namespace faults_logfile {
inline constexpr int kLogFile = 182;
}
namespace faults_resfiles {
inline constexpr int kResourceFile = 183;
}

// test_faults_gateway (its two files share: the suite's cases run one at a time), test_faults_flood,
// test_faults_cli, test_faults_http (only the settings file), test_faults_netns
namespace faults_gateway {
inline constexpr int kGatewayFaults = 185;
inline constexpr int kReportFaults = 185;
} // namespace faults_gateway
namespace faults_flood {
inline constexpr int kFlood = 186;
}
namespace faults_cli {
inline constexpr int kCliFaults = 187;
}
namespace faults_http {
inline constexpr int kHttpFaults = 188;
}
namespace faults_netns {
inline constexpr int kNetns = 204;
}
// scripts/check-package: the installed programs' loopback settings (127.0.240.x).
namespace package_check {
inline constexpr int kInstalled = 240;
}

// Who claims which subnet. The programs under bench/ keep to 6-9 and scripts/screenshots to 169 (they
// are run by hand, beside the suites); they claim them here so no suite takes them.
struct SubnetClaim {
    std::string_view suite;
    int n;
};

inline constexpr SubnetClaim kSubnetClaims[] = {
    {"bench", 6},
    {"bench", 7},
    {"bench", 8},
    {"bench", 9},
    {"bench", 76}, // bench/roll-call
    {"screenshots", 169},
    {"test_app", app::kSettings},
    {"test_protocol", protocol::kWire},
    {"test_protocol", protocol::kTransact},
    {"test_protocol", protocol::kSendAndListen},
    {"test_protocol", protocol::kCommands},
    {"test_protocol", protocol::kTargets},
    {"test_sim", sim::kEveryCommand},
    {"test_sim", sim::kProgram},
    {"test_sim", sim::kBroadcastRestore},
    {"test_sim", sim::kUpgradeQuery},
    {"test_sim", sim::kSilentAnswers},
    {"test_sim", sim::kDelayedAnswer},
    {"test_sim", sim::kOverrides},
    {"test_sim", sim::kJournal},
    {"test_sim", sim::kImagePort},
    {"test_sim", sim::kSecondSimulator},
    {"test_sim", sim::kUnitSwap},
    {"test_sim", sim::kUnitOverride},
    {"test_upload", upload::kSettings},
    {"test_diagnosis_session", session::kSession},
    {"test_diagnosis_session", session::kStoreFirst},
    {"test_diagnosis_session", session::kFaults},
    {"test_cli", cli::kDiagnose},
    {"test_cli", cli::kNoGateway},
    {"test_cli", cli::kRestore},
    {"test_cli", cli::kUpgrade},
    {"test_cli", cli::kMissingImage},
    {"test_cli", cli::kLogs},
    {"test_cli", cli::kCancel},
    {"test_cli", cli::kCrowd},
    {"test_cli", cli::kHostileText},
    {"test_cli", cli::kReport},
    {"test_cli", cli::kCommandLine},
    {"test_cli", cli::kTerminal},
    {"test_cli", cli::kRollCallUpgrade},
    {"test_cli", cli::kRollCallRestore},
    {"test_cli", cli::kStats},
    {"test_cli", cli::kStation},
    {"test_cli", cli::kStationHostile},
    {"test_maintenance", maintenance::kTransfer2500},
    {"test_maintenance", maintenance::kTransfer2000},
    {"test_maintenance", maintenance::kTransfer500},
    {"test_maintenance", maintenance::kTransfer1},
    {"test_maintenance", maintenance::kUpgradeCancel},
    {"test_maintenance", maintenance::kThreeGatewaysStatus},
    {"test_maintenance", maintenance::kMissingImage},
    {"test_maintenance", maintenance::kDirectoryImage},
    {"test_maintenance", maintenance::kRestoreTwoGateways},
    {"test_maintenance", maintenance::kRestoreNoListen},
    {"test_maintenance", maintenance::kSimUpgradeWhole},
    {"test_maintenance", maintenance::kSimUpgradeMiddleLost},
    {"test_maintenance", maintenance::kSimUpgradeLastLost},
    {"test_maintenance", maintenance::kSimUpgradeCancelled},
    {"test_maintenance", maintenance::kSimRestore},
    {"test_maintenance", maintenance::kRestoreRepeatedReplies},
    {"test_maintenance", maintenance::kRestoreListenTime},
    {"test_maintenance", maintenance::kRepeatedStatusReplies},
    {"test_maintenance", maintenance::kImageFile},
    {"test_maintenance", maintenance::kSideBySide},
    {"test_maintenance", maintenance::kRollCallUpgrade},
    {"test_maintenance", maintenance::kRollCallRestore},
    {"test_maintenance", maintenance::kRollCallHostile},
    {"test_gui_shell", gui_shell::kMainWindow},
    {"test_gui_shell", gui_shell::kStartup},
    {"test_gui_shell", gui_shell::kClosing},
    {"test_gui_shell", gui_shell::kAbout},
    {"test_gui_shell", gui_shell::kUnknownLanguage},
    {"test_gui_shell", gui_shell::kMidRun},
    {"test_gui_login", gui_login::kLogin},
    {"test_gui_records", gui_records::kQuery},
    {"test_gui_records", gui_records::kExport},
    {"test_gui_records", gui_records::kExports},
    {"test_gui_records", gui_records::kStatistics},
    {"test_gui_records", gui_records::kDetails},
    {"test_gui_diagnosis", gui_diagnosis::kPageA},
    {"test_gui_diagnosis", gui_diagnosis::kPageB},
    {"test_gui_diagnosis", gui_diagnosis::kPageC},
    {"test_gui_diagnosis", gui_diagnosis::kPageD},
    {"test_gui_diagnosis", gui_diagnosis::kPageE},
    {"test_gui_diagnosis", gui_diagnosis::kFinalReport},
    {"test_gui_diagnosis", gui_diagnosis::kDslPrompts},
    {"test_gui_diagnosis", gui_diagnosis::kRunProgress},
    {"test_gui_diagnosis", gui_diagnosis::kAddressEntry},
    {"test_gui_diagnosis", gui_diagnosis::kExportStart},
    {"test_gui_maintenance", gui_maintenance::kRestore},
    {"test_gui_maintenance", gui_maintenance::kUpgrade},
    {"test_gui_maintenance", gui_maintenance::kCancel},
    {"test_gui_maintenance", gui_maintenance::kIdle},
    {"test_gui_maintenance", gui_maintenance::kCaptions},
    {"test_gui_maintenance", gui_maintenance::kNotAnImage},
    {"test_gui_maintenance", gui_maintenance::kQueryAgain},
    {"test_gui_template", gui_template::kTemplate},
    {"test_faults_kill", faults_kill::kKilled},
    {"test_faults_dbfile", faults_dbfile::kDatabaseFile},
    {"test_faults_logfile", faults_logfile::kLogFile},
    {"test_faults_resfiles", faults_resfiles::kResourceFile},
    {"test_faults_gateway", faults_gateway::kGatewayFaults},
    {"test_faults_gateway", faults_gateway::kReportFaults},
    {"test_faults_flood", faults_flood::kFlood},
    {"test_faults_cli", faults_cli::kCliFaults},
    {"test_faults_http", faults_http::kHttpFaults},
    {"test_faults_netns", faults_netns::kNetns},
    {"check_package", package_check::kInstalled},
};

// True when every claim is a usable subnet (1-254) and no subnet is claimed by two suites.
constexpr bool SubnetClaimsAreSound() {
    for (const SubnetClaim& a : kSubnetClaims) {
        if (a.n < 1 || a.n > 254)
            return false;
        for (const SubnetClaim& b : kSubnetClaims)
            if (a.n == b.n && a.suite != b.suite)
                return false;
    }
    return true;
}
static_assert(SubnetClaimsAreSound(), "a subnet outside 1-254, or one subnet claimed by two suites");

} // namespace orva::test::subnets
