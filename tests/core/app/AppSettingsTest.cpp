#include "core/app/AppSettings.h"

#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

constexpr int kSubnet = orva::test::subnets::app::kSettings;

class AppSettingsFile : public ::testing::Test {
protected:
    AppSettings loadText(const std::string& text) {
        test::writeFile(path_, text);
        AppSettings s;
        s.Language = "untouched";
        EXPECT_TRUE(LoadAppSettings(path_, s));
        return s;
    }
    test::TempProgramDir dir_{"orva-settings"};
    std::string path_ = dir_.file("res/setting.ini");
};

TEST_F(AppSettingsFile, OnlyTheSectionHeaderGivesEveryDefault) {
    const AppSettings s = loadText("[Setting]\n");
    const AppSettings defaults;
    EXPECT_EQ(s.Language, "Chinese");
    EXPECT_EQ(s.Version, ORVA_VERSION);
    EXPECT_EQ(s.LoginURL, "");
    EXPECT_EQ(s.ReportURL, "");
    EXPECT_EQ(s.RunNet, 1);
    EXPECT_EQ(s.waittime, 240);
    EXPECT_EQ(s.updatelistentime, 30);
    EXPECT_EQ(s.resetlistentime, 15);
    EXPECT_EQ(s.upgradeinterval, 0.005f);
    EXPECT_FALSE(s.MaintenanceAddress.empty());
    EXPECT_EQ(s.MaintenanceAddress, defaults.MaintenanceAddress);
    EXPECT_EQ(s.UpgradeAddress, defaults.UpgradeAddress);
    EXPECT_EQ(s.HttpTimeout, 30);
    EXPECT_EQ(s.TlsVerify, 1);
    EXPECT_EQ(s.CaFile, "");
}

TEST_F(AppSettingsFile, ReportKeyInAnyCaseOrWithBlanks) {
    for (const char* line : {"ReportURL=http://127.0.0.1:9/r", "reporturl=http://127.0.0.1:9/r",
                             " ReportURL =http://127.0.0.1:9/r", "REPORTURL\t=\t\"http://127.0.0.1:9/r\""}) {
        const AppSettings s = loadText(std::string("[setting]\r\n") + line + "\r\n");
        EXPECT_EQ(s.ReportURL, "http://127.0.0.1:9/r") << line;
    }
}

TEST_F(AppSettingsFile, NumbersAreLeadingNumbers) {
    const AppSettings s = loadText("[Setting]\nwaittime=20x\nupdatelistentime=abc\nresetlistentime= 0\n"
                                   "RunNet=0\nupgradeinterval=0.0125\nHttpTimeout=5\nTlsVerify=0\n");
    EXPECT_EQ(s.waittime, 20);
    EXPECT_EQ(s.updatelistentime, 0);
    EXPECT_EQ(s.resetlistentime, 0);
    EXPECT_EQ(s.RunNet, 0);
    EXPECT_EQ(s.upgradeinterval, 0.0125f);
    EXPECT_EQ(s.HttpTimeout, 5);
    EXPECT_EQ(s.TlsVerify, 0);
    EXPECT_EQ(loadText("[Setting]\nupgradeinterval=abc\n").upgradeinterval, 0.0f);
}

// The roll-call's listen: two seconds unless the file says otherwise; the sessions bound what it says.
TEST_F(AppSettingsFile, RollCallTimeDefaultsToTwoSeconds) {
    EXPECT_EQ(loadText("[Setting]\n").rollcalltime, 2);
    EXPECT_EQ(loadText("[Setting]\nrollcalltime=0\n").rollcalltime, 0);
    EXPECT_EQ(loadText("[Setting]\nrollcalltime=5s\n").rollcalltime, 5);
}

TEST_F(AppSettingsFile, UpgradeIntervalIsOneThePacerCanKeep) {
    struct Case {
        const char* text;
        float seconds;
    };
    const Case cases[] = {
        {"0.0125", 0.0125f},
        {"10", 10.0f},
        {"9.5", 9.5f},
        {"0", 0.0f},
        {"-1", -1.0f}, // no pause, as before
        // Not a number the pacer can wait for: the default.
        {"inf", kDefaultUpgradeInterval},
        {"-infinity", kDefaultUpgradeInterval},
        {"nan", kDefaultUpgradeInterval},
        {"1e39", kDefaultUpgradeInterval}, // beyond the float range: read as an infinity
        // Finite but absurd: the longest pause allowed.
        {"10.5", kMaxUpgradeInterval},
        {"1e10", kMaxUpgradeInterval},
        {"3e38", kMaxUpgradeInterval},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadText(std::string("[Setting]\nupgradeinterval=") + c.text + "\n").upgradeinterval, c.seconds)
            << c.text;
}

TEST_F(AppSettingsFile, TextKeysOfTheTestSettings) {
    dir_.writeSettings(kSubnet, {{"Version", "2.1"}, {"Language", "English"}, {"CaFile", "/etc/orva/ca.pem"}});
    AppSettings s;
    ASSERT_TRUE(LoadAppSettings(path_, s));
    EXPECT_EQ(s.Language, "English");
    EXPECT_EQ(s.Version, "2.1");
    EXPECT_EQ(s.LoginURL, "http://127.0.0.1:9/login");
    EXPECT_EQ(s.ReportURL, "http://127.0.0.1:9/report");
    EXPECT_EQ(s.MaintenanceAddress, test::gatewayAddress(kSubnet));
    EXPECT_EQ(s.UpgradeAddress, test::subnet(kSubnet) + "255");
    EXPECT_EQ(s.CaFile, "/etc/orva/ca.pem");
    EXPECT_EQ(s.RunNet, 0);
}

TEST_F(AppSettingsFile, MissingFileIsReportedAndChangesNothing) {
    AppSettings s;
    s.Language = "untouched";
    EXPECT_FALSE(LoadAppSettings(path_, s));
    EXPECT_FALSE(LoadAppSettings(dir_.path(), s)); // a directory is no settings file
    EXPECT_EQ(s.Language, "untouched");
}

TEST(AppSettingsGlobal, SetSettingsIsWhatSettingsReturns) {
    const AppSettings saved = Settings();
    AppSettings s;
    s.waittime = 7;
    s.MaintenanceAddress = test::gatewayAddress(kSubnet);
    SetSettings(s);
    EXPECT_EQ(Settings().waittime, 7);
    EXPECT_EQ(Settings().MaintenanceAddress, test::gatewayAddress(kSubnet));
    SetSettings(saved);
}

} // namespace
} // namespace orva
